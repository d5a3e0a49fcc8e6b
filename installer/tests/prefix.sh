#!/usr/bin/env bash
# The fresh Wine prefix of the installer tests, inside the build folder: made
# anew before the first installer test (nothing of earlier runs or of other
# tests is in it), with a wine server of its own that the test environment's
# display and sound server reach; its server is stopped after the last test.
#   prefix.sh setup <build folder> <prefix>
#   prefix.sh cleanup <build folder> <prefix>
set -u
cmd=${1:?}; build=$(cd "${2:?}" && pwd); prefix=${3:?}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
tools=$here/../../tools
# winemenubuilder would turn the installers' Start-menu shortcuts into menu
# entries of the Linux desktop: off while the prefix is made, and (below) in
# the prefix's own settings for the tests' runs.
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY no_proxy NO_PROXY
# Wine's own home folder beside the prefix (as tools/wine-run gives it).
export HOME=$(dirname "$prefix")/winehome
mkdir -p "$HOME"

case "$cmd" in
  setup)
    if [ -d "$prefix" ]; then
      wineserver -k >/dev/null 2>&1
      rm -rf "$prefix"
    fi
    # The test environment (display, sound) of this build folder.
    if [ -f "$build/testenv/env" ]; then
      # shellcheck disable=SC1091
      . "$build/testenv/env"
    fi
    "$tools/wine-prefix" ensure "$prefix" || exit 1
    # Off for every later run in the prefix too (a disabled override).
    wine reg add 'HKCU\Software\Wine\DllOverrides' /v winemenubuilder.exe /d "" /f >/dev/null 2>&1
    # A lasting server, so that every run of the tests starts quickly, and
    # Wine's background processes started with their output going nowhere.
    wineserver -k >/dev/null 2>&1
    wineserver -p </dev/null >/dev/null 2>&1
    wine wineboot </dev/null >/dev/null 2>&1
    [ -f "$prefix/.ready" ] || { echo "prefix.sh: no prefix made at $prefix" >&2; exit 1; }
    echo "fresh prefix $prefix"
    ;;
  cleanup)
    [ -d "$prefix" ] && wineserver -k >/dev/null 2>&1
    true
    ;;
  *) echo "prefix.sh: unknown command $cmd" >&2; exit 2 ;;
esac
