#!/usr/bin/env python3
"""Writes the seed corpus of the BMP loader fuzz target: one tiny file for
each pixel format and header variant the loader understands."""
import os
import struct
import sys


def bmp(width, height, bits, pixels, compression=0, masks=(), table=(), header_size=40, gap=0):
    info = struct.pack('<IiiHHIIiiII', header_size, width, height, 1, bits, compression,
                       len(pixels), 2835, 2835, len(table), 0)
    info += b''.join(struct.pack('<I', m) for m in masks)
    info += bytes(max(0, header_size - len(info)))
    info += b''.join(struct.pack('<BBBB', c & 0xFF, (c >> 8) & 0xFF, c >> 16, 0) for c in table)
    info += b'\x5a' * gap
    offset = 14 + len(info)
    return b'BM' + struct.pack('<IHHI', offset + len(pixels), 0, 0, offset) + info + pixels


CASES = {
    'pal1.bmp': bmp(3, 2, 1, b'\xa0\0\0\0\x40\0\0\0', table=(0x000000, 0xffffff)),
    'pal4.bmp': bmp(5, 2, 4, b'\x12\x30\0\0\x45\x60\0\0', table=tuple(i * 0x111111 for i in range(7))),
    'pal8.bmp': bmp(3, 3, 8, b'\0\1\2\0\3\2\1\0\1\1\1\0', table=(0xff0000, 0x00ff00, 0x0000ff, 0x808080)),
    'pal8gap.bmp': bmp(1, 1, 8, b'\1\0\0\0', table=(0, 0xffffff), gap=16),
    'rgb16.bmp': bmp(2, 2, 16, b'\xff\x7f\x00\x7c\x1f\x00\xe0\x03'),
    'rgb16bf.bmp': bmp(2, 1, 16, b'\x00\xf8\xe0\x07', compression=3, masks=(0xf800, 0x07e0, 0x001f)),
    'rgb24td.bmp': bmp(3, -2, 24, bytes(range(9)) + b'\0\0\0' + bytes(range(9, 18)) + b'\0\0\0'),
    'rgb32bf.bmp': bmp(2, 1, 32, b'\x01\x02\x03\x00\x04\x05\x06\x00', compression=3,
                       masks=(0x0000ff00, 0x00ff0000, 0xff000000)),
    'rgb32v4.bmp': bmp(1, 1, 32, b'\x10\x20\x30\x00', compression=3, header_size=108,
                       masks=(0x00ff0000, 0x0000ff00, 0x000000ff)),
}

if __name__ == '__main__':
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), 'corpus', 'dib')
    os.makedirs(folder, exist_ok=True)
    for name, data in CASES.items():
        with open(os.path.join(folder, name), 'wb') as f:
            f.write(data)
