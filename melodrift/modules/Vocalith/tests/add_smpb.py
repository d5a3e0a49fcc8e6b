#!/usr/bin/env python3
"""Adds iTunes' gapless item ("----" com.apple.iTunes iTunSMPB) to an M4A
file whose "moov" stands last (as ffmpeg writes it), in place:
  add_smpb.py file.m4a DELAY COUNT
The padding: what fills the last AAC frame of 1,024 samples."""
import struct
import sys

path, delay, count = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
padding = -(delay + count) % 1024
data = bytearray(open(path, "rb").read())


def atom(kind, body):
    return struct.pack(">I", 8 + len(body)) + kind + body


text = " 00000000 %08X %08X %016X 00000000 00000000" % (delay, padding, count)
item = atom(b"----", atom(b"mean", b"\0\0\0\0com.apple.iTunes") + atom(b"name", b"\0\0\0\0iTunSMPB") +
            atom(b"data", struct.pack(">II", 1, 0) + text.encode()))


def find(start, end, kind):
    at = start
    while at + 8 <= end:
        size = struct.unpack(">I", data[at:at + 4])[0]
        if data[at + 4:at + 8] == kind:
            return at, size
        at += size
    raise SystemExit("no %s atom" % kind.decode())


moov, moovSize = find(0, len(data), b"moov")
if moov + moovSize != len(data):
    raise SystemExit("moov does not stand last")
udta, udtaSize = find(moov + 8, moov + moovSize, b"udta")
meta, metaSize = find(udta + 8, udta + udtaSize, b"meta")
ilst, ilstSize = find(meta + 12, meta + metaSize, b"ilst")
for at in (moov, udta, meta, ilst):
    data[at:at + 4] = struct.pack(">I", struct.unpack(">I", data[at:at + 4])[0] + len(item))
data[ilst + ilstSize:ilst + ilstSize] = item
open(path, "wb").write(bytes(data))
