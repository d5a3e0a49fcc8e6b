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
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"

build=$PWD/build/$preset
shots=$build/screenshots
mkdir -p "$shots"
programs=()
case "$which" in
  klarwin) programs=("$build/Klarwin/Klarwin.exe") ;;
  melodrift) programs=("$build/Melodrift/Melodrift.exe") ;;
  *) programs=("$build/Klarwin/Klarwin.exe" "$build/Melodrift/Melodrift.exe") ;;
esac

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
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
  sleep 8
  import -window root "$shots/run-$name.png"
  echo "screenshot: $shots/run-$name.png"
  WINEPREFIX=$build/wineprefix wineserver -k >/dev/null 2>&1 || true
  wait "$pid" 2>/dev/null || true
done
