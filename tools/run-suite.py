#!/usr/bin/env python3
"""Runs the tests of one CTest preset and judges the run.

    tools/run-suite.py <preset> [--strict] [ctest arguments...]

The tests run once (the ctest arguments go to that run). A test that failed is
run again only when its failure bears the platform's mark: the Wine process
that ran it ended before the test printed its first "[ RUN      ]" line, or
after its last "[  PASSED  ]" with no failure printed (tools/wine-run names
the exit code of a Windows program that did not end with 0). An assertion, a
time-out or a crash inside a test fails the run on the first attempt, and so
does any failure of a test that does not run under Wine.

Skipped tests are listed with the reason each gave. A skip is allowed only for
what this platform cannot give: its reason starts with "Wine gap". With
--strict (CI) any other skip fails the run: its prerequisite is one that
tools/setup.sh installs.

The counts of the first run are written to build/<preset>/suite-counts
("passed failed skipped"), and what was run again, with its mark, to
build/<preset>/suite-reruns, for tools/test.sh's closing line.
"""
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

ALLOWED_SKIP = "Wine gap"
WINE_EXIT = re.compile(r"^wine-run: (\S+) ended with exit code (-?\d+)\s*$", re.M)
STOPPED = "was stopped from outside"
RUN_LINE = "[ RUN      ]"
PASSED_LINE = "[  PASSED  ]"
FAILED_LINE = "[  FAILED  ]"


def cases(report):
    try:
        root = ET.parse(report).getroot()
    except (OSError, ET.ParseError) as e:
        print(f"test: no test report {report} ({e})")
        return None
    return list(root.iter("testcase"))


def status_of(case):
    if case.find("failure") is not None or case.find("error") is not None or case.get("status") == "fail":
        return "failed"
    if case.get("status") == "disabled":
        return "disabled"
    if case.find("skipped") is not None or case.get("status") == "notrun":
        return "skipped"
    return "passed"


def output_of(case):
    return (case.findtext("system-out") or "") + (case.findtext("system-err") or "")


def skip_reason(output):
    # GoogleTest prints "<file>:<line>: Skipped" and the message below it.
    m = re.search(r":\s*Skipped\s*\n(.*?)\n\[  SKIPPED \]", output, re.S)
    if m and m.group(1).strip():
        return " ".join(m.group(1).split())
    m = re.search(r"Skipped\s*\n?(.*)", output)
    return " ".join(m.group(1).split()) if m and m.group(1).strip() else "(no reason given)"


def platform_mark(case):
    """The platform's mark on a failure, or None when the failure is the test's own.
    A time-out has none: CTest's stop makes tools/wine-run say so (STOPPED), or
    kills it before it can name an exit code."""
    output = output_of(case)
    if STOPPED in output:
        return None
    exits = WINE_EXIT.findall(output)
    if not exits:
        return None
    program, code = exits[-1]
    if RUN_LINE not in output:
        return f"the Wine process of {program} ended with exit code {code} before the test started"
    if FAILED_LINE in output or "Failure" in output:
        return None
    last_pass = output.rfind(PASSED_LINE)
    if last_pass >= 0 and output.rfind(RUN_LINE) < last_pass:
        return f"the Wine process of {program} ended with exit code {code} after the test had passed"
    return None


def run_ctest(preset, report, args):
    cmd = ["ctest", "--preset", preset, "--output-junit", report] + args
    return subprocess.call(cmd)


def main():
    argv = sys.argv[1:]
    if not argv:
        print(__doc__)
        return 2
    preset = argv[0]
    strict = "--strict" in argv[1:]
    ctest_args = [a for a in argv[1:] if a != "--strict"]
    build = os.path.join("build", preset)
    report = os.path.abspath(os.path.join(build, "test-report.xml"))
    if os.path.exists(report):
        os.remove(report)

    run_ctest(preset, report, ctest_args)
    first = cases(report)
    if first is None:
        return 1
    counts = {"passed": 0, "failed": 0, "skipped": 0}
    failed, skipped = [], []
    for case in first:
        s = status_of(case)
        if s == "disabled":
            continue
        counts[s] += 1
        if s == "failed":
            failed.append(case)
        elif s == "skipped":
            skipped.append((case.get("name"), skip_reason(output_of(case))))

    status = 0
    reruns, retry = [], []
    for case in failed:
        mark = platform_mark(case)
        if mark:
            retry.append((case.get("name"), mark))
        else:
            print(f"test: FAILED: {case.get('name')} (an assertion, a time-out or a crash inside the test: not run again)")
            status = 1

    if retry:
        names = "|".join(re.escape(n) for n, _ in retry)
        again = os.path.abspath(os.path.join(build, "test-report-again.xml"))
        if os.path.exists(again):
            os.remove(again)
        print(f"test: running again what failed with the platform's mark: {' '.join(n for n, _ in retry)}")
        run_ctest(preset, again, ["-R", f"^({names})$", "-j1"])
        second = {c.get("name"): status_of(c) for c in (cases(again) or [])}
        for name, mark in retry:
            result = second.get(name, "not run")
            reruns.append(f"{name}: {mark}; run again: {result}")
            if result != "passed":
                status = 1

    bad_skips = 0
    for name, reason in skipped:
        allowed = reason.startswith(ALLOWED_SKIP)
        note = "" if allowed or not strict else "  <- not allowed in CI: its prerequisite is installed by tools/setup.sh"
        print(f"skipped: {name}: {reason}{note}")
        if not allowed:
            bad_skips += 1
    print(f"skips: {len(skipped)} skipped, {len(skipped) - bad_skips} for a named platform gap")
    if strict and bad_skips:
        status = 1

    with open(os.path.join(build, "suite-counts"), "w") as f:
        f.write(f"{counts['passed']} {counts['failed']} {counts['skipped']}\n")
    with open(os.path.join(build, "suite-reruns"), "w") as f:
        for line in reruns:
            f.write(f"{preset}: {line}\n")
    print(f"test: {preset}: {counts['passed']} passed, {counts['failed']} failed, {counts['skipped']} skipped"
          + (f"; {len(reruns)} run again" if reruns else ""))
    return status


if __name__ == "__main__":
    sys.exit(main())
