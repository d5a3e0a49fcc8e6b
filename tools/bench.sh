#!/usr/bin/env bash
# Every benchmark in one command: builds what it needs (the native-bench and the
# windows presets), runs the native benchmarks and the Windows ones under Wine
# (with the windows build's test environment up, for the playback into its null
# sink), and prints one table: each figure as a ratio against its baseline
# measured in the same run, with the machine's processor model.
#   tools/bench.sh [--quick]
# --quick: 10 s of playback instead of 60, one XML run instead of five (for a
# first look; the table of the README comes from a full run).
# Build folders: BENCH_NATIVE_BUILD (default build/native-bench) and
# BENCH_WIN_BUILD (default build/windows).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
native=${BENCH_NATIVE_BUILD:-$root/build/native-bench}
# shellcheck disable=SC1091
. "$root/tools/wine-arch.sh"
# Where 32-bit programs cannot run (see tools/test.sh), the Windows figures come
# from the 64-bit build of the same sources under 64-bit Wine, and say so.
win_preset=windows
can_run_32bit || win_preset=windows64
win=${BENCH_WIN_BUILD:-$root/build/$win_preset}
playback_seconds=60
xml_runs=5
if [ "${1:-}" = "--quick" ]; then
  playback_seconds=10
  xml_runs=1
fi

echo "building..." >&2
[ -f "$native/CMakeCache.txt" ] || (cd "$root" && cmake --preset native-bench -B "$native" >/dev/null)
cmake --build "$native" -j2 --target melodrift_dsp_bench melodrift_xml_bench_pugixml melodrift_effects_bench >/dev/null
[ -f "$win/CMakeCache.txt" ] || (cd "$root" && cmake --preset "$win_preset" -B "$win" >/dev/null)
cmake --build "$win" -j2 --target melodrift_dsp_bench melodrift_xml_bench melodrift_effects_bench \
  melodrift_playback_bench klarwin_scan_bench vocalith_program_test melodrift_library_bench >/dev/null

work=$(mktemp -d /tmp/bench.XXXXXX)
cleanup() {
  "$root/tools/testenv" stop "$win" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
"$root/tools/testenv" start "$win" >/dev/null || echo "test environment did not start" >&2
winpath() { echo "Z:${1//\//\\}"; }
# A Windows benchmark that cannot run (no 32-bit Wine) leaves its rows "not run".
wrun() { "$root/tools/wine-run" "$@" | tr -d '\r' || echo "wine-run failed: $1" >&2; }

echo "native benchmarks..." >&2
"$native/bench/melodrift_dsp/melodrift_dsp_bench" --kv >"$work/dsp-native.txt"
"$native/bench/effects/melodrift_effects_bench" >"$work/effects-native.txt"
pugi="$native/bench/melodrift_xml/melodrift_xml_bench_pugixml"
"$pugi" generate "$work/skin.xml" >"$work/xml-generate.txt"
"$pugi" measure "$work/skin.xml" "$xml_runs" "$work" >"$work/xml-native.txt"

echo "Windows benchmarks under Wine..." >&2
wrun "$win/bench/melodrift_dsp/melodrift_dsp_bench.exe" --kv >"$work/dsp-win.txt"
wrun "$win/bench/effects/melodrift_effects_bench.exe" >"$work/effects-win.txt"
wrun "$win/bench/melodrift_xml/melodrift_xml_bench.exe" measure "$(winpath "$work/skin.xml")" "$xml_runs" \
  "$(winpath "$work")" >"$work/xml-win.txt"
wrun "$win/bench/klarwin_scan/klarwin_scan_bench.exe" >"$work/scan-win.txt"
echo "playback, ${playback_seconds} s..." >&2
wrun "$win/bench/melodrift_playback/melodrift_playback_bench.exe" "$playback_seconds" --kv >"$work/playback-win.txt"
echo "library of 20,000 files..." >&2
# Its MP3, FLAC, M4A and WMA files are copies of tones encoded here (an encoder
# that is missing is named, and the benchmark makes WAV files instead).
"$root/bench/melodrift_library/make_templates.sh" "$work/templates"
wrun "$win/bench/melodrift_library/melodrift_library_bench.exe" 20000 --kv --templates "$(winpath "$work/templates")" \
  >"$work/library-win.txt"
echo "hand-over to a running Melodrift..." >&2
(cd "$win/melodrift/modules/Vocalith/tests" &&
  wrun "$win/melodrift/modules/Vocalith/tests/vocalith_program_test.exe" --gtest_filter='VocalithProgram.LaterStarts*' >"$work/handover-win.txt")
# The morph scenario switches Pitch Up on and off again while a recorded tone
# plays and prints the time from each command to the moved pitch: five runs, ten switches.
echo "morph switches..." >&2
: >"$work/morph-win.txt"
for run in 1 2 3 4 5; do
  (cd "$win/melodrift/modules/Vocalith/tests" &&
    wrun "$win/melodrift/modules/Vocalith/tests/vocalith_program_test.exe" --gtest_filter='VocalithProgram.MorphMenu*' >>"$work/morph-win.txt")
done

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
winbuild=Win32
[ "$(build_wine_arch "$win")" = win64 ] && winbuild=Win64
python3 - "$work" "$cpu" "$(nproc)" "$playback_seconds" "$winbuild" <<'PY'
import re, sys
work, cpu, cores, playback_seconds, winbuild = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5]

def lines(name):
    try:
        return open(f"{work}/{name}").read().splitlines()
    except OSError:
        return []

def kv(name):
    values = {}
    for line in lines(name):
        key, sep, value = line.strip().partition("=")
        if sep:
            values[key] = value
    return values

def effects(name):
    """(slowest effect, its real-time factor, its time over a copy)."""
    rows = []
    for line in lines(name):
        m = re.match(r"^(\S.*?)\s+([0-9.]+)\s+([0-9.]+)\s*$", line)
        if m and not m.group(1).startswith("copy"):
            rows.append((m.group(1), float(m.group(2)), float(m.group(3))))
    return min(rows, key=lambda r: r[1]) if rows else ("?", 0.0, 0.0)

def scan(name):
    text = "\n".join(lines(name))
    def ratio(label):
        m = re.search(re.escape(label) + r":\s+([0-9.]+)", text)
        return float(m.group(1)) if m else float("nan")
    return (ratio("ratio scan / bare walk"), ratio("ratio scan / walk with reports"),
            ratio("ratio ignore list / empty list"), ratio("ratio walk with reports / bare"))

dn, dw = kv("dsp-native.txt"), kv("dsp-win.txt")
xg, xn, xw = kv("xml-generate.txt"), kv("xml-native.txt"), kv("xml-win.txt")
pb = kv("playback-win.txt")
lib = kv("library-win.txt")
en, ew = effects("effects-native.txt"), effects("effects-win.txt")
scan_bare, scan_walk, scan_ignore, scan_reports = scan("scan-win.txt")
handover = re.search(r"hand-over: (\d+) ms", "\n".join(lines("handover-win.txt")))
morph = []
for m in re.finditer(r"heard after (-?[0-9.]+) s, none after (-?[0-9.]+) s", "\n".join(lines("morph-win.txt"))):
    morph += [float(v) if float(v) >= 0 else float("inf") for v in m.groups()]   # -1: never heard
morph = sorted(morph[:10])

rows = []
def row(what, build, value, target):
    """One row; a figure that is missing (its benchmark did not run) reads "not run"."""
    try:
        rows.append((what, build, value(), target))
    except (KeyError, ValueError, ZeroDivisionError):
        rows.append((what, build, "not run", target))

# Every row names the form of the transforms it measured: "ours" is the best
# form the build and the processor have (fft_form); the 32-bit product runs the
# SSE2 form, which has rows of its own.
best_native, best_win = dn.get("fft_form", "?"), dw.get("fft_form", "?")
for what in ("forward", "inverse"):
    for order in (11, 12):
        k = f"fft_{what}_{order}"
        row(f"real FFT {what}, order {order}, ours ({best_native} form)/FFTW (FFTW_MEASURE)", "native",
            lambda k=k: f"{float(dn[k + '_ours_ns']) / float(dn[k + '_fftw_ns']):.2f}", "<= 1.0")
for what in ("forward", "inverse"):
    for order in (11, 12):
        k = f"fft_{what}_{order}"
        row(f"real FFT {what}, order {order}, ours (SSE2 form)/FFTW (FFTW_MEASURE)", "native",
            lambda k=k: f"{float(dn[k + '_sse2_ns']) / float(dn[k + '_fftw_ns']):.2f}", "<= 1.0")
for what in ("forward", "inverse"):
    for order in (11, 12):
        k = f"fft_{what}_{order}"
        row(f"real FFT {what}, order {order}, SSE2 form / plain form", winbuild,
            lambda k=k: f"{float(dw[k + '_sse2_ns']) / float(dw[k + '_plain_ns']):.2f}", "< 1")
row(f"equalizer ({best_native} form), x real time per channel at 44.1 kHz", "native", lambda: f"{float(dn['eq_realtime']):,.0f}x",
    ">= 10,000x")
row("equalizer (SSE2 form), x real time per channel at 44.1 kHz", "native",
    lambda: f"{float(dn['eq_sse2_realtime']):,.0f}x", "")
row(f"equalizer ({best_native} form), time / plain copy of the same blocks", "native", lambda: f"{float(dn['eq_over_copy']):.1f}", "")
row(f"equalizer ({best_win} form), x real time per channel at 44.1 kHz", winbuild, lambda: f"{float(dw['eq_realtime']):,.0f}x",
    ">= 3,000x")
row(f"equalizer ({best_win} form), time / plain copy of the same blocks", winbuild, lambda: f"{float(dw['eq_over_copy']):.1f}", "")
row(f"slowest effect ({en[0]}), x real time in CPU time (time / copy)", "native",
    lambda: f"{en[1]:,.0f}x ({en[2]:.1f})" if en[1] > 0 else float("x"), ">= 60x")
row(f"slowest effect ({ew[0]}), x real time in CPU time (time / copy)", winbuild,
    lambda: f"{ew[1]:,.0f}x ({ew[2]:.1f})" if ew[1] > 0 else float("x"), ">= 60x")
size = int(xg.get("document_bytes", "0")) / 1048576
row(f"{size:.1f} MB skin load, ours under Wine / pugixml native (warm: best of the runs)", f"{winbuild}/native",
    lambda: f"{float(xw['enxml_load_ms']) / float(xn['pugixml_load_ms']):.2f}", "<= 5")
row(f"{size:.1f} MB skin load, ours under Wine / pugixml native (cold: each program's first load)",
    f"{winbuild}/native", lambda: f"{float(xw['enxml_first_load_ms']) / float(xn['pugixml_first_load_ms']):.2f}", "")
row(f"{size:.1f} MB skin load, our reader / pugixml", "native",
    lambda: f"{float(xn['enxml_native_load_ms']) / float(xn['pugixml_load_ms']):.2f}", "")
row(f"{size:.1f} MB skin save, our writer / pugixml", "native",
    lambda: f"{float(xn['enxml_native_save_ms']) / float(xn['pugixml_save_ms']):.2f}", "<= 1.5")
row("registry scan / bare registry walk", winbuild,
    lambda: f"{scan_bare:.2f}" if scan_bare == scan_bare else float("x"), "<= 1.1")
row("registry scan / the same walk posting its one message per finding", winbuild,
    lambda: f"{scan_walk:.2f}" if scan_walk == scan_walk else float("x"), "")
row("walk posting the scan's reports / bare registry walk", winbuild,
    lambda: f"{scan_reports:.2f}" if scan_reports == scan_reports else float("x"), "")
row("scan with 10,000-entry ignore list / empty list", winbuild,
    lambda: f"{scan_ignore:.2f}" if scan_ignore == scan_ignore else float("x"), "<= 1.05")
row(f"plain playback {playback_seconds} s, CPU share of one core: engine's feeder with the conversion", winbuild,
    lambda: f"{100 * float(pb['feeder_cpu_share']):.2f}%", "<= 2%")
row(f"plain playback {playback_seconds} s, CPU share of one core: whole process, the system's sound mixing"
    " included (idle process)", winbuild,
    lambda: f"{100 * float(pb['playback_cpu_share']):.2f}% ({100 * float(pb['idle_cpu_share']):.2f}%)", "")
row("hand-over: a later start with files to the first one playing in the running copy", winbuild,
    lambda: f"{int(handover.group(1)) / 1000:.2f} s" if handover else "not run", "<= 1 s")
row(f"morph switch: command to the moved pitch of a recorded tone, median of {len(morph)} switches", winbuild,
    lambda: f"{1000 * (morph[(len(morph) - 1) // 2] + morph[len(morph) // 2]) / 2:.0f} ms" if morph else "not run", "<= 150 ms")
row("library of 20,000 files: the files of each kind (made WAV where its encoder was missing)", winbuild,
    lambda: lib["library_mix"], "")
row("library add-folder (Tunestack's walk, tags and library), 20,000 tagged files: files/s (time against a bare walk"
    " reading 64 KiB of each)", winbuild,
    lambda: f"{float(lib['library_add_files_per_s']):.0f}/s ({float(lib['library_add_time_ratio']):.2f})",
    ">= 2000/s (<= 1.5)")
row("library add-folder in Tunestack's window: the longest a message posted every 10 ms waited (files/s)", winbuild,
    lambda: f"{float(lib['library_module_longest_wait_ms']):.0f} ms ({float(lib['library_module_add_files_per_s']):.0f}/s)",
    "<= 100 ms")
row("library of 20,000 tracks sorted by a column from the stored tags: the slowest column", winbuild,
    lambda: f"{float(lib['library_sort_slowest_ms']):.0f} ms ({lib['library_sort_slowest_column']})", "<= 50 ms")
row("fileDB.dat of 20,000 paths: save / load (medians of 5)", winbuild,
    lambda: f"{float(lib['library_filedb_save_ms']):.0f} ms / {float(lib['library_filedb_load_ms']):.0f} ms", "<= 200 ms")
row("playlists.xml of a playlist of 20,000 tracks: save / load (medians of 5)", winbuild,
    lambda: f"{float(lib['library_playlists_save_ms']):.0f} ms / {float(lib['library_playlists_load_ms']):.0f} ms",
    "<= 200 ms")
row("library of 20,000 tracks: memory above an empty library, a track", winbuild,
    lambda: f"{float(lib['library_bytes_per_track']):.0f} bytes", "")
row("Vocalith, 20,000-entry M3U8: until the list shows (every row looked at)", winbuild,
    lambda: f"{float(lib['vocalith_open_shown_s']):.2f} s ({float(lib['vocalith_open_filled_s']):.1f} s)", "<= 1 s")

print(f"CPU: {cpu} ({cores} logical processors)")
print(f"| what | build | measured | target |")
print(f"|---|---|---:|---|")
for what, build, value, target in rows:
    print(f"| {what} | {build} | {value} | {target} |")
if xw and xw.get("identical") != "1":
    print("note: the XML document saved under Wine differs from the original")
PY
