#!/usr/bin/env bash
# The sound files the library benchmark copies into its collection: a two-second
# tone encoded by Debian's encoders, tagged with fixed-width numbers the
# benchmark rewrites in each copy ("Title 00000", "Artist 000", "Album 000").
#   make_templates.sh FOLDER
# Writes tone_id3v23.mp3 (lame), tone_id3v24.mp3 (ffmpeg), tone.flac (flac),
# tone.m4a and tone.wma (ffmpeg); an encoder that is missing is named on
# standard error and its files are left out (the benchmark uses WAV for them).
set -u
out=${1:?usage: make_templates.sh FOLDER}
mkdir -p "$out"
python3 - "$out/tone.wav" <<'PY'
import math, struct, sys, wave
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(2); w.setsampwidth(2); w.setframerate(44100)
    w.writeframes(b"".join(struct.pack("<hh", s, s) for s in
                           (int(3000 * math.sin(2 * math.pi * 440 * i / 44100)) for i in range(2 * 44100))))
PY
tags=(-metadata "title=Title 00000" -metadata "artist=Artist 000" -metadata "album=Album 000" -metadata track=7)
if command -v lame >/dev/null; then
  lame --quiet -b 64 --id3v2-only --tt "Title 00000" --ta "Artist 000" --tl "Album 000" --tn 7 "$out/tone.wav" "$out/tone_id3v23.mp3"
else
  echo "lame is missing: no MP3 with an ID3v2.3 tag" >&2
fi
if command -v flac >/dev/null; then
  flac --silent -f -T "TITLE=Title 00000" -T "ARTIST=Artist 000" -T "ALBUM=Album 000" -T TRACKNUMBER=7 \
    -o "$out/tone.flac" "$out/tone.wav"
else
  echo "flac is missing: no FLAC" >&2
fi
if command -v ffmpeg >/dev/null; then
  ff() { ffmpeg -nostdin -loglevel error -y -i "$out/tone.wav" "$@"; }
  ff -c:a libmp3lame -b:a 64k -id3v2_version 4 -write_xing 1 "${tags[@]}" "$out/tone_id3v24.mp3"
  ff -c:a aac -b:a 64k "${tags[@]}" "$out/tone.m4a"
  ff -c:a wmav2 -b:a 64k "${tags[@]}" "$out/tone.wma"
else
  echo "ffmpeg is missing: no MP3 with an ID3v2.4 tag, no M4A, no WMA" >&2
fi
rm -f "$out/tone.wav"
