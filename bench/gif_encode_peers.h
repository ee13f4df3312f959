#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/gif_encode_pictures.h"

// Other GIF encoders on the same pictures, one thread each: giflib's LZW
// coder, ImageMagick's convert, gifsicle and Pillow as processes, and
// libimagequant through its C API with giflib writing its result.

// giflib's EGifPutLine, row by row, every frame into one GIF in `out`
// (cleared first, its capacity kept); returns the file's bytes.
long long giflibEncode(const std::vector<IndexedFrame>& frames, std::vector<std::uint8_t>& out);

// Writes frames with their own colour tables as a GIF file with giflib; an
// animation gets 40 ms a frame and loops.
void writeGifWithGiflib(const std::string& path, const std::vector<IndexedFrame>& frames);

// File to file: each BMP read, reduced by libimagequant at `speed` with
// dithering level 1.0 on one thread, written by giflib.
void libImageQuantToGif(const EncodeSource& source, int speed, const std::string& out);

// convert [frames] [-dither FloydSteinberg] out.gif, with one thread;
// false when it failed.
bool imageMagickToGif(const EncodeSource& source, bool floydSteinberg, const std::string& out);

// gifsicle in.gif -o out.gif: decodes and codes the pixels again.
bool gifsicleRecode(const std::string& in, const std::string& out);

// Pillow through bench/pillow_gif_encode.py: the seconds its timed part
// took, or a negative number when it failed. `picture` mode goes from the
// source's BMP files to a GIF (median cut + Floyd-Steinberg); the LZW mode
// writes the frames of an 8-bit GIF again.
double pillowToGif(const EncodeSource& source, const std::string& out);
double pillowRecode(const std::string& in, const std::string& out);
