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
