#include "gif/lzw_common.h"

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
