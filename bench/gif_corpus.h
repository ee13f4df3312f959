#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The GIF pictures that bench/make_gif_pictures writes: a photograph, a
// screenshot-like picture, a gradient and noise at each size, and an
// animation.

// Where one frame's image data starts (its LZW code-size byte) and its size.
struct GifFrameData {
    std::int64_t offset = 0;
    int width = 0;
    int height = 0;
};

struct GifFile {
    std::string name;  // e.g. "photo-512x512"
    std::vector<std::uint8_t> bytes;
    int width = 0;  // of the logical screen
    int height = 0;
    std::vector<GifFrameData> frames;

    // Some frames cover only part of the screen.
    bool hasDeltaFrames() const {
        for (const GifFrameData& frame : frames) {
            if (frame.width != width || frame.height != height) return true;
        }
        return false;
    }
    // Pixels delivered: the screen once per frame.
    long long pixels() const { return static_cast<long long>(width) * height * std::ssize(frames); }
};

// A GIF file's screen and frames, found by walking its blocks; throws
// std::runtime_error when the blocks run past the end.
GifFile gifFileOf(const std::string& name, std::vector<std::uint8_t> bytes);
// The corpus's names in the order they are reported.
std::vector<std::string> gifPictureNames();
// The pictures of the corpus found in the pictures' folder, read once.
const std::vector<GifFile>& gifCorpus();
