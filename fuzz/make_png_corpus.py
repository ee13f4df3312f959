#!/usr/bin/env python3
"""Writes the seed corpus of the PNG decoder fuzz target: a small picture of
each colour type, its rows under every filter, and a few of the kinds the
decoder leaves to Qt's reader."""
import os
import random
import struct
import sys
import zlib


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png(width, height, colour_type, rows, depth=8, interlace=0, extra=b""):
    header = struct.pack(">IIBBBBB", width, height, depth, colour_type, 0, 0, interlace)
    stream = zlib.compress(rows, 9)
    half = len(stream) // 2
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + extra + chunk(b"IDAT", stream[:half]) +
            chunk(b"IDAT", stream[half:]) + chunk(b"IEND", b""))


def main(folder):
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(5)
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}
    files = {}
    for colour_type, count in channels.items():
        width, height = 7, 5
        rows = b"".join(bytes([y % 5]) + bytes(rng.randrange(256) for _ in range(width * count))
                        for y in range(height))
        palette = chunk(b"PLTE", bytes(rng.randrange(256) for _ in range(768))) if colour_type == 3 else b""
        files["type%d.png" % colour_type] = png(width, height, colour_type, rows, extra=palette)
    plain = bytes([0]) + bytes(12)
    files["interlaced.png"] = png(4, 1, 2, plain, interlace=1)
    files["transparent.png"] = png(4, 1, 2, plain, extra=chunk(b"tRNS", bytes(6)))
    files["deep.png"] = png(2, 1, 2, bytes(13), depth=16)
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus", "png"))
