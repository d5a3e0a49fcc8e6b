#!/usr/bin/env bash
# Every fuzzer for a long run (not part of tools/test.sh, whose fuzzer cases are
# short and bounded): builds the fuzzers of the native preset, and of native32
# (the same code as 32-bit programs) where this machine executes 32-bit programs,
# then runs each for a while and prints one line per fuzzer: its inputs run and
# its result. Fails when a fuzzer found a crash, a leak or a sanitizer report
# (the input that did it is kept in build/<preset>/fuzz-crashes/).
#   tools/fuzz.sh [SECONDS] [PATTERN]
# SECONDS per fuzzer (default 300, or FUZZ_SECONDS); PATTERN (a grep -E
# expression) picks fuzzers by target name. The corpus of each fuzzer is the one
# its CTest case grows, in the build folder; the checked-in seeds are only read.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-${FUZZ_SECONDS:-300}}
pattern=${2:-.}
case $seconds in
  '' | *[!0-9]*) echo "fuzz: SECONDS must be a whole number, not '$seconds'" >&2; exit 2 ;;
esac
# shellcheck disable=SC1091
. tools/wine-arch.sh

if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR=$PWD CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi

presets=(native)
if can_run_native32; then
  presets+=(native32)
else
  echo "fuzz: this machine cannot execute 32-bit programs: the native32 fuzzers are not built or run"
fi

status=0
for preset in "${presets[@]}"; do
  build=build/$preset
  cmake --preset "$preset" >/dev/null
  mapfile -t targets < <(find "$build/fuzzers" -name '*.txt' -printf '%f\n' 2>/dev/null | sed 's/\.txt$//' |
                         grep -E -- "$pattern" | sort)
  if [ ${#targets[@]} -eq 0 ]; then
    echo "fuzz: $preset: no fuzzer matches '$pattern'" >&2
    status=1
    continue
  fi
  echo "fuzz: $preset: building ${targets[*]}"
  cmake --build --preset "$preset" --target "${targets[@]}" >/dev/null
  crashes=$PWD/$build/fuzz-crashes
  mkdir -p "$crashes"
  for target in "${targets[@]}"; do
    program='' corpus='' options=() seeds=()
    while IFS= read -r line; do
      case $line in
        program=*) program=${line#program=} ;;
        corpus=*) corpus=${line#corpus=} ;;
        option=*) options+=("${line#option=}") ;;
        seeds=*) seeds+=("${line#seeds=}") ;;
      esac
    done <"$build/fuzzers/$target.txt"
    mkdir -p "$corpus"
    log=$build/fuzz-$target.log
    result=passed
    if ! "$program" "${options[@]}" -max_total_time="$seconds" -print_final_stats=1 \
         -artifact_prefix="$crashes/$target-" "$corpus" "${seeds[@]}" >"$log" 2>&1; then
      result="FAILED ($(grep -m1 -E '==[0-9]+== ?ERROR|runtime error' "$log" ||
                        echo "exit status, see $log"))"
      status=1
    fi
    # "Done 123 runs in 300 second(s)" at the end of a run that found nothing.
    runs=$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\1 runs in \2 s/p' "$log" | tail -1)
    [ -n "$runs" ] || runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1) runs"
    printf 'fuzz: %-9s %-28s %24s  %s\n' "$preset" "$target" "$runs" "$result"
    [ "$result" = passed ] || { grep -m1 'Test unit written to' "$log" || true; echo "fuzz: log: $log"; }
  done
done
exit $status
