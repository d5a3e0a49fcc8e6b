#!/usr/bin/env bash
# Sets up the machine, builds the programs and runs them under Wine.
# With a display ($DISPLAY reachable) the programs open there and this waits until
# they are closed. Without one they run on a virtual display for a few seconds and
# a screenshot of each is saved in build/windows/screenshots/.
#   tools/run.sh [klarwin|melodrift|both]
set -eu
cd "$(dirname "$0")/.."
which=${1:-both}
tools/setup.sh
# shellcheck disable=SC1091
. tools/wine-arch.sh
preset=windows
if ! can_run_32bit; then
  echo "run: this machine cannot execute 32-bit programs: running the 64-bit build of the same sources"
  preset=windows64
fi
case "$which" in
  klarwin) targets=(klarwin_program) ;;
  melodrift) targets=(melodrift_program) ;;
  *) targets=(klarwin_program melodrift_program) ;;
esac
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR=$PWD CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
cmake --preset "$preset" >/dev/null
# Only what the programs need: their folders, not the tests or benchmarks.
cmake --build --preset "$preset" --target "${targets[@]}"

build=$PWD/build/$preset
shots=$build/screenshots
mkdir -p "$shots"
programs=()
case "$which" in
  klarwin) programs=("$build/Klarwin/Klarwin.exe") ;;
  melodrift) programs=("$build/Melodrift/Melodrift.exe") ;;
  *) programs=("$build/Klarwin/Klarwin.exe" "$build/Melodrift/Melodrift.exe") ;;
esac

# A display that answers (xdotool is installed by tools/setup.sh).
if [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1; then
  for p in "${programs[@]}"; do
    [ -f "$p" ] || { echo "not built yet: $p"; continue; }
    tools/wine-run "$p" &
  done
  wait
  exit 0
fi

tools/testenv start "$build"
trap 'tools/testenv stop "$build"' EXIT
# shellcheck disable=SC1091
. "$build/testenv/env"
for p in "${programs[@]}"; do
  [ -f "$p" ] || { echo "not built yet: $p"; continue; }
  name=$(basename "$p" .exe)
  tools/wine-run "$p" &
  pid=$!
  # Its window, once it is shown (Wine's first start in a new prefix is slow),
  # then a moment for it to draw.
  for _ in $(seq 120); do
    xdotool search --onlyvisible --name "^$name" >/dev/null 2>&1 && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.5
  done
  sleep 3
  import -window root "$shots/run-$name.png"
  echo "screenshot: $shots/run-$name.png"
  WINEPREFIX=$build/wineprefix wineserver -k >/dev/null 2>&1 || true
  wait "$pid" 2>/dev/null || true
done
