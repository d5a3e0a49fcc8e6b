#!/usr/bin/env bash
# Sets up the machine, builds both presets and runs every test:
#   native   platform-neutral code under AddressSanitizer/UBSan, fuzzers for a bounded time
#   native32 the same code as 32-bit Linux programs; its tests only where 32-bit programs run
#   windows  everything, cross-built for 32-bit Windows and run under Wine
# On a machine that cannot execute 32-bit programs (no 32-bit user mode in its
# kernel or virtual machine, so 32-bit Wine cannot start), the 32-bit programs,
# their tests and the installers are still built, and the Windows tests run on
# the 64-bit build of the same sources (preset windows64) under 64-bit Wine; the
# installer tests, which need the 32-bit installers to run, cannot run there and
# are said so.
# Extra arguments go to every ctest run (for example -R Records).
# tools/run-suite.py runs each preset's tests and judges them: only a failure
# with the platform's mark (the Wine process ended before the test started or
# after it passed) is run again; skips other than a named Wine gap fail in CI.
# The last lines are the whole run's counts (of the first run of every test)
# and what was run again, and why.
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

# An interrupted run (Ctrl+C, a CI time-out) leaves nothing running: the test
# environments (display, sound server, wine server), the installer tests' prefix
# and the loopback test servers of every build folder are stopped.
cleanup() {
  local b
  for b in build/windows build/windows64; do
    [ -d "$b" ] || continue
    tools/testenv stop "$b" >/dev/null 2>&1 || true
    if [ -d "$b/installer/tests/wineprefix" ]; then
      installer/tests/prefix.sh cleanup "$b" "$b/installer/tests/wineprefix" >/dev/null 2>&1 || true
    fi
    for s in "$b"/klarwin/online/tests/servers*; do
      [ -d "$s" ] && klarwin/online/tests/servers/servers.sh stop "$s" >/dev/null 2>&1
    done
  done
  return 0
}
interrupted() {
  trap - INT TERM
  echo "test: interrupted; stopping what the tests started"
  cleanup
  exit 130
}
trap interrupted INT TERM

# The build prints one line a step, overwritten in a terminal; a log (CI) gets
# the steps' short descriptions, and the whole command only of a step that failed.
build() {
  cmake --preset "$1" >/dev/null
  echo "building $1"
  cmake --build --preset "$1" "${@:2}"
}

windows=windows
if ! can_run_32bit; then
  echo "test: this machine cannot execute 32-bit programs (32-bit Wine fails to start): the 32-bit"
  echo "test: programs, their tests and installers are built, and the Windows tests run on the 64-bit"
  echo "test: build of the same sources under 64-bit Wine; the installer tests need 32-bit programs"
  echo "test: and do not run"
  build windows
  build windows --target installers installer_test
  windows=windows64
fi

# The platform-neutral code as 32-bit programs (preset native32): always built; its
# tests run only where this machine executes 32-bit programs.
presets=(native)
if can_run_native32; then
  presets+=(native32)
else
  build native32
  echo "test: native32 is built; this machine cannot execute 32-bit programs, so its tests do not run"
fi
presets+=("$windows")

strict=
[ "${CI:-}" = true ] && strict=--strict
status=0
for preset in "${presets[@]}"; do
  build "$preset"
  tools/run-suite.py "$preset" $strict "$@" || status=1
done

passed=0 failed=0 skipped=0
for preset in "${presets[@]}"; do
  read -r p f s <"build/$preset/suite-counts" || continue
  passed=$((passed + p)) failed=$((failed + f)) skipped=$((skipped + s))
done
echo "tests took $(( $(date +%s) - start )) s in all"
echo "$passed passed, $failed failed, $skipped skipped"
for preset in "${presets[@]}"; do
  [ -s "build/$preset/suite-reruns" ] && sed 's/^/run again: /' "build/$preset/suite-reruns"
done
exit $status
