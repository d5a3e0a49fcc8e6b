#!/usr/bin/env bash
# Screenshots of the real frame in each full skin, with the player bar on and off.
#
#   melodrift/skins/art/take_screenshots.sh <build folder> [<output folder>]
#
# Runs <build>/Melodrift/Melodrift.exe under the build's test environment (virtual
# display, Wine prefix) once per skin and player-bar setting, with a short tone handed
# to the player module on the command line, and writes <Skin>-frame.png and
# <Skin>-frame-noplayer.png (the frame window alone) into the output folder
# (default <build>/melodrift/skins/screenshots). The frame's settings file in the
# prefix's data folder is replaced for each run.
set -eu
build=$(cd "${1:?usage: take_screenshots.sh <build folder> [<output folder>]}" && pwd)
out=${2:-$build/melodrift/skins/screenshots}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../../.." && pwd)
mkdir -p "$out"

# The test environment is started here when it is not up, and then stopped again at the end.
started=""
if [ ! -f "$build/testenv/env" ]; then
    "$root/tools/testenv" start "$build" >/dev/null
    started=1
fi
# shellcheck disable=SC1091
. "$build/testenv/env"

product=$(sed -n 's/^Name=\(.*\)\r\?$/\1/p' "$build/Melodrift/appdatadefault.ini" | tr -d '\r' | head -n 1)
data="$build/wineprefix/drive_c/ProgramData/Corvena/$product"
mkdir -p "$data"

work=$(mktemp -d)
cleanup() {
    rm -rf "$work"
    [ -z "$started" ] || "$root/tools/testenv" stop "$build" >/dev/null 2>&1 || true
}
trap cleanup EXIT
tone="$work/Evening Tide.wav"
/usr/bin/python3 - "$tone" <<'EOF'
import math, struct, sys, wave
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(2); w.setsampwidth(2); w.setframerate(44100)
    frames = bytearray()
    for i in range(44100 * 60):
        v = int(3000 * math.sin(2 * math.pi * 220 * i / 44100) * (0.6 + 0.4 * math.sin(i / 20000)))
        frames += struct.pack("<hh", v, v)
    w.writeframes(bytes(frames))
EOF
wintone="Z:$(echo "$tone" | sed 's#/#\\#g')"

shoot() {  # skin, player bar On/Off, file
    printf '[Main frame: params]\r\nCheckDefaultPlayer=No\r\nAutoOpen_AskMe=No\r\n[CURRENTSKIN]\r\nname=%s\r\n[FRAME OPTIONS]\r\nPanelPlayer=%s\r\n[PLAYER]\r\nShuffle=On\r\nEqualizerTurn=On\r\n' \
        "$1" "$2" > "$data/config.ini"
    "$root/tools/wine-run" "$build/Melodrift/Melodrift.exe" "$wintone" >/dev/null 2>&1 &
    local pid=$! win="" i
    for i in $(seq 1 60); do
        win=$(xdotool search --onlyvisible --name '^Melodrift' 2>/dev/null | head -n 1 || true)
        [ -n "$win" ] && break
        sleep 1
    done
    if [ -z "$win" ]; then
        echo "take_screenshots: no frame window for $1" >&2
        kill "$pid" 2>/dev/null || true
        return 1
    fi
    sleep 8   # let the module start playing and the position move
    eval "$(xdotool getwindowgeometry --shell "$win")"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$3"
    xdotool key --window "$win" ctrl+t 2>/dev/null || true
    for i in $(seq 1 20); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 1
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    echo "$out/$3"
}

for skin in Midnight Daylight; do
    shoot "$skin" On "$skin-frame.png"
    shoot "$skin" Off "$skin-frame-noplayer.png"
done
