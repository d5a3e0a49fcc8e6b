#!/usr/bin/env python3
"""Writes the player module's MP3 test tone as a WAV file for the encoder:
1.5 s at 44100 Hz, 16-bit stereo, 440 Hz left and 660 Hz right at half scale."""
import math
import struct
import sys
import wave

RATE = 44100
with wave.open(sys.argv[1], "wb") as out:
    out.setnchannels(2)
    out.setsampwidth(2)
    out.setframerate(RATE)
    frames = bytearray()
    for i in range(int(1.5 * RATE)):
        for hz in (440, 660):
            frames += struct.pack("<h", round(0.5 * 32767 * math.sin(2 * math.pi * hz * i / RATE)))
    out.writeframes(bytes(frames))
