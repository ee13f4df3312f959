#!/usr/bin/env python3
"""Writes the seed corpora of the GIF decoder and LZW decoder fuzz targets:
small files for each block, table and image layout the decoder knows, and
code streams that reach the dictionary's edges."""
import os
import random
import struct
import sys


def lzw(indices, code_size, clear_every=None):
    """The code stream of the indices, low bits first; a clear code starts
    it, and starts over when the dictionary is full or every `clear_every`
    codes."""
    clear, end = 1 << code_size, (1 << code_size) + 1
    out, acc, bits = bytearray(), 0, 0

    def put(code, width):
        nonlocal acc, bits
        acc |= code << bits
        bits += width
        while bits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            bits -= 8

    def reset():
        return {(i,): i for i in range(clear)}, end + 1, code_size + 1

    table, next_code, width = reset()
    put(clear, width)
    prefix, written = (), 0
    for pixel in indices:
        if prefix + (pixel,) in table:
            prefix += (pixel,)
            continue
        put(table[prefix], width)
        written += 1
        table[prefix + (pixel,)] = next_code
        next_code += 1
        if next_code > 1 << width and width < 12:
            width += 1
        if next_code > 4095 or (clear_every and written % clear_every == 0):
            put(clear, width)
            table, next_code, width = reset()
        prefix = (pixel,)
    if prefix:
        put(table[prefix], width)
    put(end, width)
    if bits:
        out.append(acc)
    return bytes(out)


def sub_blocks(data, size=255):
    return b''.join(bytes([len(data[i:i + size])]) + data[i:i + size]
                    for i in range(0, len(data), size)) + b'\0'


def image_data(indices, code_size, block=255, **options):
    return bytes([code_size]) + sub_blocks(lzw(indices, code_size, **options), block)


def table(bits):
    return b''.join(bytes([(37 * i) & 0xFF, (91 * i) & 0xFF, 255 - i]) for i in range(1 << bits))


def screen(width, height, bits=0, version=b'89a', background=0, aspect=0):
    packed = 0x80 | 0x70 | (bits - 1) if bits else 0
    return b'GIF' + version + struct.pack('<HHBBB', width, height, packed, background, aspect) + \
        (table(bits) if bits else b'')


def image(left, top, width, height, indices, code_size, local_bits=0, interlaced=False, **options):
    packed = (0x80 | (local_bits - 1) if local_bits else 0) | (0x40 if interlaced else 0)
    return b',' + struct.pack('<HHHHB', left, top, width, height, packed) + \
        (table(local_bits) if local_bits else b'') + image_data(indices, code_size, **options)


def control(disposal=0, transparent=None, delay=0, user_input=False):
    packed = disposal << 2 | (2 if user_input else 0) | (1 if transparent is not None else 0)
    return b'\x21\xf9\x04' + struct.pack('<BHB', packed, delay, transparent or 0) + b'\0'


def extension(label, payload):
    return b'\x21' + bytes([label]) + sub_blocks(payload)


def pattern(width, height, colours, seed, run=1):
    rng = random.Random(seed)
    out, value = [], 0
    for i in range(width * height):
        if i % run == 0:
            value = rng.randrange(colours)
        out.append(value)
    return out


def gif_cases():
    loop = extension(0xFF, b'NETSCAPE2.0\x01\x00\x00')
    text = b'\x21\x01\x0c' + struct.pack('<HHHHBBBB', 2, 3, 40, 16, 8, 8, 1, 0) + sub_blocks(b'Hi there')
    return {
        'mono87a.gif': screen(2, 2, 1, b'87a') + image(0, 0, 2, 2, [0, 1, 1, 0], 2) + b';',
        'global16.gif': screen(9, 5, 4) + image(0, 0, 9, 5, pattern(9, 5, 16, 1, 3), 4) + b';',
        'local8bit.gif': screen(16, 16) + image(0, 0, 16, 16, pattern(16, 16, 256, 2), 8, local_bits=8) + b';',
        'interlaced.gif': screen(5, 11, 3) + image(0, 0, 5, 11, pattern(5, 11, 8, 3, 2), 3, interlaced=True) + b';',
        'notable.gif': screen(3, 2) + image(0, 0, 3, 2, [0, 1, 0, 1, 1, 0], 2) + b';',
        'frames.gif': screen(8, 6, 2) + loop + control(2, 3, 10) + image(1, 1, 4, 3, pattern(4, 3, 4, 4), 2)
        + control(3, user_input=True) + image(6, 4, 5, 4, pattern(5, 4, 4, 5), 2, local_bits=2) + b';',
        'extensions.gif': screen(4, 4, 1) + extension(0xFE, b'made by hand') + extension(0xFF, b'ABCDEFGH123xyz')
        + extension(0x7A, b'unknown') + image(0, 0, 4, 4, [1] * 16, 2) + b';',
        'plaintext.gif': screen(48, 24, 1) + control(1, delay=5) + text + b';',
        # Every disposal, transparency, a local table, a frame the same as
        # the one before and one that changes nothing.
        'disposals.gif': screen(12, 10, 2) + loop + control(1, delay=10) + image(0, 0, 12, 10, pattern(12, 10, 4, 21, 2), 2)
        + control(2, 3, 10) + image(2, 2, 5, 4, pattern(5, 4, 4, 22), 2)
        + control(3, delay=20) + image(4, 3, 6, 5, pattern(6, 5, 4, 23), 2, local_bits=2)
        + control(0, 0, 10) + image(0, 0, 12, 10, pattern(12, 10, 4, 21, 2), 2)
        + control(1, delay=10) + image(0, 0, 12, 10, pattern(12, 10, 4, 21, 2), 2)
        + control(0, 1, 30) + image(7, 5, 5, 5, pattern(5, 5, 4, 24), 2) + b';',
        'shortblocks.gif': screen(20, 10, 5) + image(0, 0, 20, 10, pattern(20, 10, 32, 6), 5, block=7) + b';',
        'clears.gif': screen(10, 10, 2) + image(0, 0, 10, 10, pattern(10, 10, 4, 7), 2, clear_every=5) + b';',
        'cut.gif': (screen(6, 6, 2) + image(0, 0, 6, 6, pattern(6, 6, 4, 8), 2))[:-6],
    }


def lzw_cases():
    # First byte: bits 0-5 the row width (1 + 7n), bit 6 wider code rows,
    # bit 7 a stream read a few bytes at a time.
    return {
        'literals2.lzw': b'\x01' + image_data([0, 1, 2, 3] * 4, 2),
        'runs4.lzw': b'\x42' + image_data(pattern(30, 8, 16, 9, 5), 4),
        'noise8.lzw': b'\x85' + image_data(pattern(64, 8, 256, 10), 8, block=100),
        'full2.lzw': b'\x09' + image_data(pattern(64, 200, 4, 11), 2),
        'flat8.lzw': b'\xc3' + image_data([7] * 3000, 8),
        'clears3.lzw': b'\x00' + image_data(pattern(12, 12, 8, 12), 3, clear_every=3),
    }


if __name__ == '__main__':
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), 'corpus')
    for folder, cases in (('gif', gif_cases()), ('lzw', lzw_cases())):
        os.makedirs(os.path.join(root, folder), exist_ok=True)
        for name, data in cases.items():
            with open(os.path.join(root, folder, name), 'wb') as f:
                f.write(data)
