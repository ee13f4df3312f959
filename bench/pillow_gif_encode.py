#!/usr/bin/python3
"""Pillow as a GIF encoder, for the encoding benchmark.

    pillow_gif_encode.py picture OUT.gif IN.bmp...
        true colour to GIF, file to file: each picture read, reduced to 256
        colours by median cut and remapped with Floyd-Steinberg dithering;
        several pictures make an animation (40 ms a frame, looping)
    pillow_gif_encode.py lzw OUT.gif IN.gif
        the frames of an 8-bit GIF, read before the timing, written again:
        Pillow's LZW coder and GIF writer alone

Prints the seconds the timed part took, and nothing else, on standard output:
the start-up of Python and of Pillow is left out.
"""
import io
import sys
import time

from PIL import Image, ImageSequence


def reduced(picture):
    rgb = picture.convert("RGB")
    palette = rgb.quantize(256, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    return rgb.quantize(palette=palette, dither=Image.Dither.FLOYDSTEINBERG)


def encode_pictures(out, inputs):
    start = time.perf_counter()
    frames = []
    for name in inputs:
        with Image.open(name) as picture:
            frames.append(reduced(picture))
    if len(frames) == 1:
        frames[0].save(out, "GIF", optimize=False)
    else:
        frames[0].save(out, "GIF", save_all=True, append_images=frames[1:], duration=40,
                       loop=0, optimize=False)
    return time.perf_counter() - start


def encode_indices(out, source):
    with Image.open(source) as gif:
        frames = [frame.copy() for frame in ImageSequence.Iterator(gif)]
    buffer = io.BytesIO()
    start = time.perf_counter()
    if len(frames) == 1:
        frames[0].save(buffer, "GIF", optimize=False)
    else:
        frames[0].save(buffer, "GIF", save_all=True, append_images=frames[1:], optimize=False)
    elapsed = time.perf_counter() - start
    with open(out, "wb") as file:
        file.write(buffer.getvalue())
    return elapsed


def main(argv):
    if len(argv) >= 4 and argv[1] == "picture":
        seconds = encode_pictures(argv[2], argv[3:])
    elif len(argv) == 4 and argv[1] == "lzw":
        seconds = encode_indices(argv[2], argv[3])
    else:
        sys.stderr.write(__doc__)
        return 2
    print(f"{seconds:.9f}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
