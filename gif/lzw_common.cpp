#include "gif/lzw_common.h"

#include <algorithm>
#include <bit>

#include "gif/gif_errors.h"

namespace {

int checkedCodeSize(int size) {
    if (size == 1) return 2;
    if (size < 2 || size > 12) {
        throw ELZWError(QStringLiteral("Unsupported Minimum Code Size - %1").arg(size));
    }
    return size;
}

}  // namespace

TZVQ_LZWCommon::TZVQ_LZWCommon(TStream* stream, int minimumCodeSize)
    : stream_(stream),
      minimumCodeSize_(checkedCodeSize(minimumCodeSize)),
      clearCode_(std::uint16_t(1u << minimumCodeSize_)),
      endCode_(std::uint16_t(clearCode_ + 1)) {}

void TZVQ_LZWCommon::InitDictionary() {
    codeWidth_ = minimumCodeSize_ + 1;
    nextWidthThreshold_ = 1u << codeWidth_;
    nextFreeCode_ = std::uint16_t(clearCode_ + 2);
}

// Codes read with no clear between them: the first at 3 bits, the k-th
// when the next free code is k + 4, at that code's bit width up to 12
// bits. A last code short of bits still counts, zero-padded.
std::int64_t TZVQ_LZWCommon::maxPixelsIn(std::int64_t dataBytes) {
    std::int64_t bits = std::max<std::int64_t>(dataBytes, 0) * 8;
    std::int64_t pixels = 0;
    for (std::int64_t k = 1; k <= kMaxCodes && bits > 0; ++k) {
        const int width = k == 1 ? 3 : std::min(12, int(std::bit_width(std::uint64_t(k + 4))));
        bits -= width;
        pixels += k;
    }
    if (bits <= 0) return pixels;
    return pixels + (bits / 12 + 1) * kMaxCodes;
}
