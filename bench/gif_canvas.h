#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

// What every GIF decoder in the benchmark delivers: the logical screen as
// R, G, B, A bytes, top row first, starting transparent, each frame drawn
// over the one before at its place by the GIF89a rules: transparent pixels
// leave the canvas as it is, and each frame's disposal is carried out
// before the next one is drawn (the background is transparent).
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

// The RGBA table of the colour table seen last, made again only when the
// colour table's bytes change: the frames of an animation mostly share one.
class RgbaTableCache {
public:
    // True when `bytes` (a colour table as its decoder holds it) differ
    // from the last ones; the caller then fills table().
    bool changed(const void* bytes, std::size_t size);
    RgbaTable& table() { return table_; }

private:
    std::vector<std::uint8_t> bytes_;
    bool filled_ = false;
    RgbaTable table_{};
};

// Maps `count` indices through the table to RGBA pixels.
void indicesToRgba(const std::uint8_t* indices, int count, const RgbaTable& table,
                   std::uint8_t* rgba);

// Draws rows of indices (`stride` bytes apart, top row first) onto the
// canvas with the top-left corner at (left, top), clipped to the canvas.
void pasteIndices(const std::uint8_t* indices, int width, int height, std::int64_t stride,
                  const RgbaTable& table, int left, int top, RgbaCanvas& canvas);

// Draws like pasteIndices, leaving the canvas as it is under pixels of the
// transparent index (-1: none, then it is pasteIndices).
void pasteIndicesOver(const std::uint8_t* indices, int width, int height, std::int64_t stride,
                      const RgbaTable& table, int left, int top, int transparentIndex,
                      RgbaCanvas& canvas);

// Where a frame lies on the canvas and what becomes of it before the next
// one (GIF89a disposal: 0 and 1 keep it, 2 clears its rectangle, 3 brings
// back what it covered).
struct FramePlace {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int disposal = 0;
};

// Carries out each frame's disposal before the next frame is drawn.
class CanvasDisposal {
public:
    // A clear canvas for the first frame.
    void start(RgbaCanvas& canvas);
    // Before `frame` is drawn: the last frame's disposal, and what `frame`
    // covers kept when it is to be brought back.
    void before(RgbaCanvas& canvas, const FramePlace& frame);

private:
    FramePlace last_;
    bool drawn_ = false;
    std::vector<std::uint8_t> under_;
};
