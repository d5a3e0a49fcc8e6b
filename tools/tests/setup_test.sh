#!/usr/bin/env bash
# The set-up's decisions when the package servers misbehave, with a stand-in
# apt-get (and dpkg) on PATH: nothing is installed, only the calls are recorded.
#   tools/tests/setup_test.sh
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
setup=$here/../setup.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")

mkdir -p "$work/bin"
# apt-get: "update" fails the first $STUB_UPDATE_FAILS times; "install" answers
# as $STUB_INSTALL says: ok, release-only (resolves only with -t), broken.
cat >"$work/bin/apt-get" <<'STUB'
#!/usr/bin/env bash
echo "apt-get $*" >>"$STUB_LOG"
case "$1" in
  update)
    n=$(cat "$STUB_STATE" 2>/dev/null || echo 0); echo $((n + 1)) >"$STUB_STATE"
    [ "$n" -ge "${STUB_UPDATE_FAILS:-0}" ] || { echo "E: File has unexpected size (374820 != 376004). Mirror sync in progress?" >&2; exit 100; }
    exit 0 ;;
  install)
    case "${STUB_INSTALL:-ok}" in
      ok) exit 0 ;;
      release-only) [[ " $* " == *" -t "* ]] && exit 0
                    echo "E: Unable to correct problems, you have held broken packages." >&2; exit 100 ;;
      *) exit 100 ;;
    esac ;;
esac
exit 0
STUB
# Nothing is installed; i386 is there already.
printf '#!/bin/sh\nexit 1\n' >"$work/bin/dpkg-query"
printf '#!/bin/sh\n[ "$1" = --print-foreign-architectures ] && echo i386\nexit 0\n' >"$work/bin/dpkg"
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work/bin/"*

passed=0 failed=0
run() {  # run <name> <expected exit> <update fails> <install answer>
  rm -f "$work/log" "$work/state"
  out=$(PATH="$work/bin:$PATH" STUB_LOG=$work/log STUB_STATE=$work/state SETUP_RETRY_DELAY=0 \
        STUB_UPDATE_FAILS=$3 STUB_INSTALL=$4 bash "$setup" 2>&1)
  rc=$?
  calls=$(cat "$work/log" 2>/dev/null)
  if [ "$rc" -ne "$2" ]; then
    echo "FAIL $1: exit $rc, expected $2"; echo "$out"; failed=$((failed + 1)); return 1
  fi
  return 0
}
check() {  # check <name> <condition as text> <result of the test>
  if [ "$3" -eq 0 ]; then passed=$((passed + 1)); else
    echo "FAIL $1: $2"; echo "--- output:"; echo "$out"; echo "--- calls:"; echo "$calls"; failed=$((failed + 1)); fi
}

# A list that fails twice and then downloads: retried, then installed as usual.
if run retried-update 0 2 ok; then
  check retried-update "three updates, one plain install" \
    "$([ "$(grep -c '^apt-get update' <<<"$calls")" -eq 3 ] && [ "$(grep -c '^apt-get install' <<<"$calls")" -eq 1 ]; echo $?)"
  check retried-update "each retry is said" "$([ "$(grep -c 'apt-get update failed (try' <<<"$out")" -eq 2 ]; echo $?)"
fi

# The update archive never settles and the install cannot resolve: the release's
# own archive is used, and one line says so.
if run release-archive 0 9 release-only; then
  check release-archive "three updates, then the install without and with -t $codename" \
    "$([ "$(grep -c '^apt-get update' <<<"$calls")" -eq 3 ] && grep -q -- "install .* -t $codename" <<<"$calls"; echo $?)"
  check release-archive "the fallback is said in one line" \
    "$([ "$(grep -c "release's own archive ($codename)" <<<"$out")" -eq 1 ]; echo $?)"
fi

# Nothing resolves: the set-up fails and says what to run.
if run broken 1 0 broken; then
  check broken "says it failed and what to run" "$(grep -q 'FAILED' <<<"$out" && grep -q 'run: tools/setup.sh' <<<"$out"; echo $?)"
  check broken "does not claim success" "$(! grep -q 'all packages present' <<<"$out"; echo $?)"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
