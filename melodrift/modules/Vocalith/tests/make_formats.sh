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
# Files other players play that our header readers once refused, tagged alike:
#   lsf.mp3    MPEG-2 layer III (22.05 kHz, 576 samples a frame) with LAME's tag
#   tune.oga   FLAC in Ogg
#   cover.ogg  a comment header over more than 64 pages (a cover picture)
#   qt.m4a     QuickTime text items in "udta" (a movie file's own way)
#   video.ogg  a Theora stream before the Vorbis one
if have lame; then
  lame --quiet -V 5 --resample 22.05 --id3v2-only --tt "$title" --ta "$artist" --tl "$album" --tn "$track" tune.wav lsf.mp3
fi
if have flac; then
  flac --silent --force --ogg -T "TITLE=$title" -T "ARTIST=$artist" -T "ALBUM=$album" -T "TRACKNUMBER=$track" -o tune.oga tune.wav
fi
if have oggenc && have vorbiscomment; then
  oggenc --quiet -q 2 -o cover.ogg tune.wav
  # The picture last, as taggers put it: over 4 MB, more than 64 of the largest pages.
  printf 'TITLE=%s\nARTIST=%s\nALBUM=%s\nTRACKNUMBER=%s\n' "$title" "$artist" "$album" "$track" >cover.txt
  "$python" -c 'import base64, sys
sys.stdout.write("METADATA_BLOCK_PICTURE=" + base64.b64encode(bytes(range(256)) * 13000).decode() + "\n")' >>cover.txt
  vorbiscomment -w -R -c cover.txt cover.ogg
  rm -f cover.txt
fi
if have ffmpeg; then
  ffmpeg -v error -nostdin -y -i tune.wav -c:a aac -b:a 128k -f mov -metadata "title=$title" -metadata "artist=$artist" \
    -metadata "album=$album" qt.m4a
  ffmpeg -v error -nostdin -y -f lavfi -i color=c=gray:s=64x48:r=10:d=2 -i tune.wav -map 0:v -map 1:a -c:v libtheora \
    -c:a libvorbis -q:a 4 -metadata "title=$title" -metadata "artist=$artist" -metadata "album=$album" \
    -metadata "track=$track" -shortest video.ogg
fi
