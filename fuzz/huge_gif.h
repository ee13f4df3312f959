#pragma once

// Bitmaps are allocated at the declared size before any pixel arrives, so
// a few bytes can ask for gigabytes: fuzz targets skip such inputs.
#include <cstddef>
#include <cstdint>

namespace {

constexpr std::int64_t kMaxPixels = 16 << 20;

// Walks the blocks as the decoder does, far enough to see every screen and
// image size the stream declares.
bool declaresHugeBitmap(const std::uint8_t* data, std::size_t size) {
    if (size < 13) return false;
    const auto word = [&](std::size_t at) {
        return at + 1 < size ? data[at] | data[at + 1] << 8 : 0;
    };
    const auto tooLarge = [](int width, int height) {
        return std::int64_t(width) * height > kMaxPixels;
    };
    const auto tableBytes = [](std::uint8_t packed) {
        return packed & 0x80 ? 3 << ((packed & 7) + 1) : 0;
    };
    if (tooLarge(word(6), word(8))) return true;
    std::size_t at = 13 + std::size_t(tableBytes(data[10]));
    while (at < size) {
        const std::uint8_t introducer = data[at++];
        if (introducer == 0x3B) return false;
        if (introducer == 0x2C) {
            if (at + 9 > size) return false;
            if (tooLarge(word(at + 4), word(at + 6))) return true;
            at += 9 + std::size_t(tableBytes(data[at + 8])) + 1;  // descriptor, table, code size
        } else if (introducer == 0x21) {
            ++at;  // the label
        }
        while (at < size && data[at] != 0) at += data[at] + 1u;
        ++at;
    }
    return false;
}

}  // namespace
