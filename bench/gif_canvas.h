#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

// What every GIF decoder in the benchmark delivers: the logical screen as
// R, G, B, A bytes, top row first, each frame drawn over the one before at
// its place (the pictures have no transparency and no disposal to apply).
struct RgbaCanvas {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;

    void resize(int w, int h);
    std::uint8_t* row(int y) { return rgba.data() + std::size_t(y) * std::size_t(width) * 4; }
};

// Called with the canvas after each frame; empty while timing.
using FrameDone = std::function<void(const RgbaCanvas&)>;

// A colour table as 32-bit words holding R, G, B, A in memory order; indices
// past the table's end show opaque black.
using RgbaTable = std::array<std::uint32_t, 256>;
std::uint32_t rgbaWord(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

// Two RGBA pixels as one 64-bit word that, stored, puts `first` first.
std::uint64_t rgbaPair(std::uint32_t first, std::uint32_t second);

// Maps `count` indices through the table to RGBA pixels.
void indicesToRgba(const std::uint8_t* indices, int count, const RgbaTable& table,
                   std::uint8_t* rgba);

// Draws rows of indices (`stride` bytes apart, top row first) onto the
// canvas with the top-left corner at (left, top), clipped to the canvas.
void pasteIndices(const std::uint8_t* indices, int width, int height, std::int64_t stride,
                  const RgbaTable& table, int left, int top, RgbaCanvas& canvas);
