#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/gif_corpus.h"
#include "bench/psnr.h"

// What the GIF encoding benchmark encodes.

// A true-colour source: the photograph or the screenshot-like picture at one
// size (one 24-bit BMP file), or the animation (one BMP file per frame).
struct EncodeSource {
    std::string name;  // e.g. "photo-1920x1080", "animation-480x270"
    std::vector<std::string> files;
    int width = 0;
    int height = 0;

    long long pixels() const { return static_cast<long long>(width) * height * std::ssize(files); }
    bool animated() const { return files.size() > 1; }
};

// The sources found in the pictures' folder, photographs first, then the
// screenshot-like pictures, then the animation.
const std::vector<EncodeSource>& encodeSources();
// Each frame of a source as R, G, B bytes, read once.
const std::vector<RgbImage>& sourceFrames(const EncodeSource& source);

// One frame of an 8-bit GIF: its indices, top row first, and its colours.
struct IndexedFrame {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> indices;
    std::vector<std::uint8_t> palette;  // R, G, B; 2 to 256 entries
};

// The frames of a picture of the GIF corpus, decoded once by giflib.
const std::vector<IndexedFrame>& indexedFrames(const GifFile& file);

// A GIF file's frames as R, G, B bytes, each drawn over the one before,
// decoded by giflib; throws std::runtime_error on a broken file.
std::vector<RgbImage> decodeGifFile(const std::string& path);
// The bytes of every image's data (code-size byte, sub-blocks, terminator)
// in a GIF file's bytes: what the LZW coder wrote, without the blocks round
// it.
long long imageDataBytes(const std::vector<std::uint8_t>& gif);
std::vector<std::uint8_t> fileBytes(const std::string& path);

// A file for one tool's output under the pictures' folder's out/.
std::string encodeOutputPath(const std::string& tool, const std::string& picture);
