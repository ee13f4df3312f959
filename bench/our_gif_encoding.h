#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/gif_encode_pictures.h"
#include "gif/gif_encoder.h"

// The library as a user would call it to write GIFs.

// The LZW coder alone: every frame's rows through TZVQ_LZWCompressor, with
// the code size of its colour table, into `out` (cleared first, its capacity
// kept); returns the bytes written.
long long encodeIndicesWithOurs(const std::vector<IndexedFrame>& frames, std::vector<std::uint8_t>& out);

// File to file with TZVQ_GIFCompressor's defaults (Floyd-Steinberg) and the
// given palette quality: one BMP read and saved with SaveDIBtoFile, or an
// animation's frames written one by one, 40 ms each, looping.
bool encodeFileWithOurs(const EncodeSource& source, TGIFPaletteQuality quality, const std::string& out);
