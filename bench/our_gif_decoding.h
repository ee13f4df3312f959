#pragma once

#include <cstdint>
#include <vector>

#include "bench/gif_canvas.h"
#include "bench/gif_corpus.h"

class TMemoryStream;

// Every frame of the stream through TZVQ_GIFDecompressor into bitmaps, each
// drawn at its place on the canvas (of the screen's size) through its colour
// table, as a program using the library gets at the pixels. Returns the
// number of frames.
int decodeWithOurs(TMemoryStream& stream, RgbaCanvas& canvas, const FrameDone& done = {});

// The LZW stage alone: every frame's code stream into colour indices with
// TZVQ_LZWDecompressor::readIndices. Returns the number of indices read.
long long readIndicesWithOurs(TMemoryStream& stream, const GifFile& file,
                              std::vector<std::uint8_t>& indices);
