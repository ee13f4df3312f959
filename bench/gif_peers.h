#pragma once

#include "bench/gif_canvas.h"
#include "bench/gif_corpus.h"

// Other GIF decoders on the same files, each used as its own documentation
// suggests, every frame to 32-bit pixels. Each returns the number of frames
// decoded and throws std::runtime_error when its decoder fails.

// giflib: DGifSlurp from memory, then each frame's indices through its
// colour table onto the canvas.
int decodeWithGiflib(const GifFile& file, RgbaCanvas& canvas, const FrameDone& done = {});

// Wuffs's GIF decoder straight onto the canvas in RGBA.
int decodeWithWuffs(const GifFile& file, RgbaCanvas& canvas, const FrameDone& done = {});
// False when the benchmark was built without Wuffs (its source not found).
bool wuffsAvailable();

// stb_image: stbi_load_from_memory (one frame) or stbi_load_gif_from_memory
// (every frame) to RGBA, in buffers of its own.
int decodeWithStb(const GifFile& file, const FrameDone& done = {});

// Qt's GIF reader through QImageReader, every frame as the QImage it
// returns (32-bit ARGB words, B, G, R, A in memory); only for `done` are
// they converted to RGBA bytes.
int decodeWithQt(const GifFile& file, const FrameDone& done = {});
