#!/usr/bin/env bash
# Sets up the machine, builds both presets and runs every test:
#   native   platform-neutral code under AddressSanitizer/UBSan, fuzzers for a bounded time
#   windows  everything, cross-built for 32-bit Windows and run under Wine
# On a machine that cannot execute 32-bit programs (no 32-bit user mode in its
# kernel or virtual machine, so 32-bit Wine cannot start), the 32-bit programs
# and installers are still built, and the Windows tests run on the 64-bit build
# of the same sources (preset windows64) under 64-bit Wine; the installer tests,
# which need the 32-bit installers to run, cannot run there and are said so.
# Extra arguments go to every ctest run (for example -R Records).
# At the end every skipped test is listed with its reason. In CI (CI=true) only
# a skip for a named Wine gap is allowed: any other prerequisite is installed by
# tools/setup.sh, so its absence fails the run.
# A test that fails is run once more on its own. A run with at most three such
# tests, each passing the second time, passes, and names them as flaky with the
# first failure's output above: a rare fault of the platform (a Wine process
# that dies before the program's first word) must not hide the rest of the
# suite's verdict, and a fault of ours shows in both runs.
set -eu
cd "$(dirname "$0")/.."
start=$(date +%s)
tools/setup.sh
echo "setup took $(( $(date +%s) - start )) s"
# shellcheck disable=SC1091
. tools/wine-arch.sh

# A compiler cache where there is one: a second run (or another clone) builds
# only what changed.
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR=$PWD CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi

# The build prints one line a step, overwritten in a terminal; a log (CI) gets
# the steps' short descriptions, and the whole command only of a step that failed.
build() {
  cmake --preset "$1" >/dev/null
  echo "building $1"
  cmake --build --preset "$1"
}

windows=windows
if ! can_run_32bit; then
  echo "test: this machine cannot execute 32-bit programs (32-bit Wine fails to start): the 32-bit"
  echo "test: programs and installers are built, and the Windows tests run on the 64-bit build of the"
  echo "test: same sources under 64-bit Wine; the installer tests need 32-bit programs and do not run"
  build windows
  windows=windows64
fi

# Runs the tests that failed in the last ctest run of preset $1 once more.
rerun_failed() {
  local failed="build/$1/Testing/Temporary/LastTestsFailed.log" names count
  [ -s "$failed" ] || return 1
  names=$(cut -d: -f2- "$failed" | tr '\n' ' ')
  count=$(wc -l <"$failed")
  if [ "$count" -gt 3 ]; then
    echo "test: $count tests failed: not run again"
    return 1
  fi
  echo "test: running again what failed: $names"
  ctest --preset "$1" --rerun-failed -j1 || return 1
  echo "test: FLAKY (failed once, passed when run again; the first failure is above): $names"
}

strict=
[ "${CI:-}" = true ] && strict=--strict
status=0
for preset in native "$windows"; do
  build "$preset"
  if ! ctest --preset "$preset" --output-junit "$PWD/build/$preset/test-report.xml" "$@"; then
    rerun_failed "$preset" || status=1
  fi
  tools/list-skips.py "build/$preset/test-report.xml" $strict || status=1
done

echo "tests took $(( $(date +%s) - start )) s in all"
exit $status
