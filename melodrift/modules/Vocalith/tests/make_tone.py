#!/usr/bin/env python3
"""Writes the player module's MP3 test signals as WAV files for the encoder.
  make_tone.py out.wav           1.5 s at 44100 Hz, 16-bit stereo, 440 Hz left
                                 and 660 Hz right at half scale
  make_tone.py out.wav --halves  4 s of 440 Hz in both channels, then 4 s of
                                 noise: encoded at a variable rate, the noise
                                 takes far more bytes a second than the tone
  make_tone.py out.wav --steps   2 s at 44100 Hz, 16-bit stereo: 1 s of 440 Hz,
                                 then 1 s of 660 Hz; left at half scale, right
                                 at a quarter (the format tests' sound)
  make_tone.py piece.wav --pieces
                                 piece1.wav, piece2.wav, piece3.wav: a 6 s tone
                                 (as the first) cut at frames 88237 and 176491"""
import math
import random
import struct
import sys
import wave

RATE = 44100
halves = "--halves" in sys.argv[2:]
steps = "--steps" in sys.argv[2:]
if "--pieces" in sys.argv[2:]:
    cuts = [0, 88237, 176491, 264600]
    for n in range(3):
        with wave.open(sys.argv[1].replace(".wav", "%d.wav" % (n + 1)), "wb") as out:
            out.setnchannels(2), out.setsampwidth(2), out.setframerate(RATE)
            out.writeframes(b"".join(struct.pack("<hh", *(round(0.5 * 32767 * math.sin(2 * math.pi * hz * i / RATE))
                                                           for hz in (440, 660))) for i in range(cuts[n], cuts[n + 1])))
    sys.exit()
with wave.open(sys.argv[1], "wb") as out:
    out.setnchannels(2)
    out.setsampwidth(2)
    out.setframerate(RATE)
    frames = bytearray()
    if steps:
        for i in range(2 * RATE):
            hz = 440 if i < RATE else 660
            v = math.sin(2 * math.pi * hz * i / RATE)
            frames += struct.pack("<hh", round(0.5 * 32767 * v), round(0.25 * 32767 * v))
    elif halves:
        noise = random.Random(1)
        for i in range(4 * RATE):
            v = round(0.5 * 32767 * math.sin(2 * math.pi * 440 * i / RATE))
            frames += struct.pack("<hh", v, v)
        for i in range(4 * RATE):
            frames += struct.pack("<hh", noise.randint(-16000, 16000), noise.randint(-16000, 16000))
    else:
        for i in range(int(1.5 * RATE)):
            for hz in (440, 660):
                frames += struct.pack("<h", round(0.5 * 32767 * math.sin(2 * math.pi * hz * i / RATE)))
    out.writeframes(bytes(frames))
