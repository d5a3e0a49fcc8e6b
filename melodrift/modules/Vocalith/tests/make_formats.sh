#!/bin/sh
# Encodes the player's format test files with Debian's own encoders, each tagged
# with the same non-ASCII title, artist, album and track number:
#   make_formats.sh <python3> <make_tone.py> <output folder>
# The sound (tune.wav): 1 s of 440 Hz, then 1 s of 660 Hz; left at half scale,
# right at a quarter. A file whose encoder is missing is not made (its test skips).
set -eu
python=$1; tone=$2; out=$3
mkdir -p "$out"
tone=$(cd "$(dirname "$tone")" && pwd)/$(basename "$tone")
cd "$out"
title='Grüße Ωμέγα'; artist='Zoë Čapek'; album='Tonleiter'; track=3
"$python" "$tone" tune.wav --steps
have() { command -v "$1" >/dev/null 2>&1; }
if have flac; then
  flac --silent --force -T "TITLE=$title" -T "ARTIST=$artist" -T "ALBUM=$album" -T "TRACKNUMBER=$track" -o tune.flac tune.wav
fi
if have oggenc; then
  oggenc --quiet -q 6 -t "$title" -a "$artist" -l "$album" -N "$track" -o tune.ogg tune.wav
fi
if have lame; then
  lame --quiet -b 192 --id3v2-only --id3v2-utf16 --tt "$title" --ta "$artist" --tl "$album" --tn "$track" tune.wav tune.mp3
fi
if have ffmpeg; then
  for target in "tune.opus libopus 128k" "tune.m4a aac 192k" "tune.wma wmav2 192k"; do
    set -- $target
    ffmpeg -v error -nostdin -y -i tune.wav -c:a "$2" -b:a "$3" -metadata "title=$title" -metadata "artist=$artist" \
      -metadata "album=$album" -metadata "track=$track" "$1"
  done
fi
