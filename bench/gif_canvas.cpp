#include "bench/gif_canvas.h"

#include <algorithm>
#include <bit>
#include <cstring>

void RgbaCanvas::resize(int w, int h) {
    width = w;
    height = h;
    rgba.assign(std::size_t(w) * std::size_t(h) * 4, 0);
}

std::uint32_t rgbaWord(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    const std::uint8_t bytes[4] = {red, green, blue, 255};
    std::uint32_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

std::uint64_t rgbaPair(std::uint32_t first, std::uint32_t second) {
    const std::uint64_t a = first, b = second;
    return std::endian::native == std::endian::little ? a | b << 32 : b | a << 32;
}

bool RgbaTableCache::changed(const void* bytes, std::size_t size) {
    const auto* from = static_cast<const std::uint8_t*>(bytes);
    if (filled_ && size == bytes_.size() && (size == 0 || std::memcmp(from, bytes_.data(), size) == 0)) return false;
    bytes_.assign(from, from + size);
    filled_ = true;
    return true;
}

void indicesToRgba(const std::uint8_t* indices, int count, const RgbaTable& table,
                   std::uint8_t* rgba) {
    // Four pixels to a store: writing the canvas is what this costs.
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        const std::uint32_t quad[4] = {table[indices[i]], table[indices[i + 1]],
                                       table[indices[i + 2]], table[indices[i + 3]]};
        std::memcpy(rgba + 4 * i, quad, sizeof quad);
    }
    for (; i < count; ++i) std::memcpy(rgba + 4 * i, &table[indices[i]], 4);
}

void pasteIndices(const std::uint8_t* indices, int width, int height, std::int64_t stride,
                  const RgbaTable& table, int left, int top, RgbaCanvas& canvas) {
    const int x0 = std::max(left, 0), x1 = std::min(left + width, canvas.width);
    const int y0 = std::max(top, 0), y1 = std::min(top + height, canvas.height);
    for (int y = y0; y < y1; ++y) {
        const std::uint8_t* from = indices + (y - top) * stride + (x0 - left);
        indicesToRgba(from, x1 - x0, table, canvas.row(y) + 4 * x0);
    }
}

void pasteIndicesOver(const std::uint8_t* indices, int width, int height, std::int64_t stride,
                      const RgbaTable& table, int left, int top, int transparentIndex,
                      RgbaCanvas& canvas) {
    if (transparentIndex < 0) {
        pasteIndices(indices, width, height, stride, table, left, top, canvas);
        return;
    }
    const int x0 = std::max(left, 0), x1 = std::min(left + width, canvas.width);
    const int y0 = std::max(top, 0), y1 = std::min(top + height, canvas.height);
    for (int y = y0; y < y1; ++y) {
        const std::uint8_t* from = indices + (y - top) * stride - left;
        std::uint8_t* out = canvas.row(y);
        for (int x = x0; x < x1; ++x) {
            if (from[x] != transparentIndex) std::memcpy(out + 4 * x, &table[from[x]], 4);
        }
    }
}

namespace {

// The part of the frame on the canvas, as a byte range per row.
struct Span {
    int x0, x1, y0, y1;
};

Span spanOf(const RgbaCanvas& canvas, const FramePlace& frame) {
    return {std::max(frame.left, 0), std::min(frame.left + frame.width, canvas.width), std::max(frame.top, 0),
            std::min(frame.top + frame.height, canvas.height)};
}

}  // namespace

void CanvasDisposal::start(RgbaCanvas& canvas) {
    std::fill(canvas.rgba.begin(), canvas.rgba.end(), std::uint8_t(0));
    drawn_ = false;
}

void CanvasDisposal::before(RgbaCanvas& canvas, const FramePlace& frame) {
    if (drawn_ && (last_.disposal == 2 || (last_.disposal == 3 && !under_.empty()))) {
        const Span span = spanOf(canvas, last_);
        const std::size_t bytes = std::size_t(std::max(span.x1 - span.x0, 0)) * 4;
        for (int y = span.y0; y < span.y1; ++y) {
            std::uint8_t* row = canvas.row(y) + 4 * span.x0;
            if (last_.disposal == 2) {
                std::memset(row, 0, bytes);
            } else {
                std::memcpy(row, under_.data() + std::size_t(y - span.y0) * bytes, bytes);
            }
        }
    }
    under_.clear();
    if (frame.disposal == 3) {
        const Span span = spanOf(canvas, frame);
        const std::size_t bytes = std::size_t(std::max(span.x1 - span.x0, 0)) * 4;
        for (int y = span.y0; y < span.y1; ++y) {
            const std::uint8_t* row = canvas.row(y) + 4 * span.x0;
            under_.insert(under_.end(), row, row + bytes);
        }
    }
    last_ = frame;
    drawn_ = true;
}
