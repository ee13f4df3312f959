#pragma once

#include <cstdint>

class TStream;

// What both directions of the GIF LZW coder share: the code sizes, the clear
// and end codes, the growing code width and the next free code.
class TZVQ_LZWCommon {
public:
    static constexpr int kMaxCode = 4095;
    static constexpr int kMaxCodes = kMaxCode + 1;

    // A minimum code size of 1 is taken as 2; anything outside 1 ... 12
    // raises ELZWError "Unsupported Minimum Code Size - %d".
    TZVQ_LZWCommon(TStream* stream, int minimumCodeSize);

    // The most pixels that `dataBytes` bytes of code stream can give, at any
    // minimum code size: the n-th code after a clear gives at most n pixels
    // (and never more than the dictionary's longest string), and codes are
    // at their narrowest when the minimum code size is 2.
    static std::int64_t maxPixelsIn(std::int64_t dataBytes);
    virtual ~TZVQ_LZWCommon() = default;
    TZVQ_LZWCommon(const TZVQ_LZWCommon&) = delete;
    TZVQ_LZWCommon& operator=(const TZVQ_LZWCommon&) = delete;

    int GetMinimumCodeSize() const { return minimumCodeSize_; }
    int GetCodeWidth() const { return codeWidth_; }
    std::uint16_t GetClearCode() const { return clearCode_; }
    std::uint16_t GetEndCode() const { return endCode_; }
    std::uint16_t GetNextFreeCode() const { return nextFreeCode_; }

protected:
    // Back to the first code width; codes above the end code are free again.
    void InitDictionary();

    TStream* stream_;
    int minimumCodeSize_;
    int codeWidth_ = 0;
    std::uint32_t nextWidthThreshold_ = 0;
    std::uint16_t nextFreeCode_ = 0;
    std::uint16_t clearCode_;
    std::uint16_t endCode_;
    bool started_ = false;
};
