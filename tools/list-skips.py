#!/usr/bin/env python3
"""Lists the skipped tests of a CTest JUnit report with the reason each gave.

    tools/list-skips.py <report.xml> [--strict]

A skip is allowed only for what this platform cannot give: its reason starts
with "Wine gap" and names the gap. With --strict (CI), any other skip fails the
run: its prerequisite is one that tools/setup.sh installs, so it must be there.
"""
import re
import sys
import xml.etree.ElementTree as ET

ALLOWED = "Wine gap"


def reason_of(output: str) -> str:
    # GoogleTest prints "<file>:<line>: Skipped" and the message below it.
    m = re.search(r":\s*Skipped\s*\n(.*?)\n\[  SKIPPED \]", output, re.S)
    if m and m.group(1).strip():
        return " ".join(m.group(1).split())
    m = re.search(r"Skipped\s*\n?(.*)", output)
    return " ".join(m.group(1).split()) if m and m.group(1).strip() else "(no reason given)"


def main() -> int:
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    strict = "--strict" in sys.argv[2:]
    try:
        root = ET.parse(sys.argv[1]).getroot()
    except (OSError, ET.ParseError) as e:
        print(f"skips: no test report ({e})")
        return 1 if strict else 0
    bad = 0
    skipped = []
    for case in root.iter("testcase"):
        if case.find("skipped") is None and case.get("status") not in ("notrun", "disabled"):
            continue
        if case.get("status") == "disabled":
            continue
        out = case.findtext("system-out") or ""
        skipped.append((case.get("name"), reason_of(out)))
    for name, reason in skipped:
        allowed = reason.startswith(ALLOWED)
        mark = "" if allowed or not strict else "  <- not allowed in CI: its prerequisite is installed by tools/setup.sh"
        print(f"skipped: {name}: {reason}{mark}")
        if not allowed:
            bad += 1
    print(f"skips: {len(skipped)} skipped, {len(skipped) - bad} for a named platform gap")
    return 1 if strict and bad else 0


if __name__ == "__main__":
    sys.exit(main())
