#!/usr/bin/env bash
# Sets up the machine, builds both presets and runs every test:
#   native   platform-neutral code under AddressSanitizer/UBSan, fuzzers for a bounded time
#   windows  everything, cross-built for 32-bit Windows and run under Wine
# Extra arguments go to both ctest runs (for example -R Records).
set -eu
cd "$(dirname "$0")/.."
start=$(date +%s)
tools/setup.sh
echo "setup took $(( $(date +%s) - start )) s"

status=0
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native "$@" || status=1

cmake --preset windows >/dev/null
cmake --build --preset windows
ctest --preset windows "$@" || status=1

echo "tests took $(( $(date +%s) - start )) s in all"
exit $status
