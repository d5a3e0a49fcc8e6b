#!/usr/bin/env bash
# XML benchmark: load and save of one 5 MB skin-like document, in the same run,
#   enXml   Load = file read + our reader building the enXml tree;
#           Save = our UTF-16LE writer + file replace.
#           32-bit Windows program (mingw-w64, -O2), run under Wine.
#   pugixml load_file / save_file (UTF-16LE, tab indent), native x86-64 (clang -O2).
# Also the enXml writer alone, natively with the same compiler as pugixml, to
# separate the writer's cost from Wine's. Times are the best of N runs.
#   bench/melodrift_xml/run.sh [runs]
# Build folders: MDXML_WIN_BUILD (default build/windows) and MDXML_NATIVE_BUILD
# (default build/native-bench); each is configured and built when needed.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
runs=${1:-5}
win=${MDXML_WIN_BUILD:-$root/build/windows}
native=${MDXML_NATIVE_BUILD:-$root/build/native-bench}

[ -f "$win/CMakeCache.txt" ] || cmake --preset windows -B "$win" >/dev/null
cmake --build "$win" -j2 --target melodrift_xml_bench >/dev/null
[ -f "$native/CMakeCache.txt" ] || cmake --preset native-bench -B "$native" >/dev/null
cmake --build "$native" -j2 --target melodrift_xml_bench_pugixml >/dev/null

work=$(mktemp -d /tmp/mdxml-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
doc=$work/skin.xml

"$native/bench/melodrift_xml/melodrift_xml_bench_pugixml" generate "$doc" >"$work/generate.txt"
"$native/bench/melodrift_xml/melodrift_xml_bench_pugixml" measure "$doc" "$runs" "$work" >"$work/native.txt"
winpath() { echo "Z:${1//\//\\}"; }
"$root/tools/wine-run" "$win/bench/melodrift_xml/melodrift_xml_bench.exe" \
  measure "$(winpath "$doc")" "$runs" "$(winpath "$work")" | tr -d '\r' >"$work/windows.txt"

python3 - "$work" "$runs" <<'PY'
import sys
work, runs = sys.argv[1], sys.argv[2]
def read(name):
    values = {}
    for line in open(f"{work}/{name}"):
        key, _, value = line.strip().partition("=")
        if key:
            values[key] = value
    return values
g, n, w = read("generate.txt"), read("native.txt"), read("windows.txt")
size = int(g["document_bytes"])
print(f"XML load and save of a skin-like document: {size} bytes ({size / 1048576:.2f} MiB) UTF-16LE, "
      f"{g['elements']} elements, best of {runs} runs")
print(f"{'':44}{'load ms':>10}{'save ms':>10}")
rows = [
    ("enXml (our reader and writer), Win32 under Wine", float(w["enxml_load_ms"]), float(w["enxml_save_ms"])),
    ("pugixml, native x86-64", float(n["pugixml_load_ms"]), float(n["pugixml_save_ms"])),
]
for name, load, save in rows:
    print(f"{name:44}{load:10.1f}{save:10.1f}")
print(f"{'enXml writer alone, native x86-64':44}{'':>10}{float(n['enxml_native_save_ms']):10.1f}")
e, p = rows[0], rows[1]
print(f"ratio enXml/pugixml: load {e[1] / p[1]:.1f}x, save {e[2] / p[2]:.1f}x, "
      f"load+save {(e[1] + e[2]) / (p[1] + p[2]):.1f}x")
print(f"ratio enXml writer native/pugixml save: {float(n['enxml_native_save_ms']) / p[2]:.2f}x")
print(f"enXml saved file identical to the document: {'yes' if w.get('identical') == '1' else 'NO'}")
PY
