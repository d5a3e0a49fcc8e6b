#!/usr/bin/env bash
# Sets up the machine, builds both presets and runs every test:
#   native   platform-neutral code under AddressSanitizer/UBSan, fuzzers for a bounded time
#   windows  everything, cross-built for 32-bit Windows and run under Wine
# Extra arguments go to both ctest runs (for example -R Records).
# At the end every skipped test is listed with its reason. In CI (CI=true) only
# a skip for a named Wine gap is allowed: any other prerequisite is installed by
# tools/setup.sh, so its absence fails the run.
set -eu
cd "$(dirname "$0")/.."
start=$(date +%s)
tools/setup.sh
echo "setup took $(( $(date +%s) - start )) s"

# The build prints one line a step, overwritten in a terminal; a log (CI) gets
# the steps' short descriptions, and the whole command only of a step that failed.
build() {
  cmake --preset "$1" >/dev/null
  echo "building $1"
  cmake --build --preset "$1"
}

strict=
[ "${CI:-}" = true ] && strict=--strict
status=0
for preset in native windows; do
  build "$preset"
  ctest --preset "$preset" --output-junit "$PWD/build/$preset/test-report.xml" "$@" || status=1
  tools/list-skips.py "build/$preset/test-report.xml" $strict || status=1
done

echo "tests took $(( $(date +%s) - start )) s in all"
exit $status
