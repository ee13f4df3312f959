#pragma once

#include <cstdint>

class TStream;

/// @file
/// What the LZW encoder and decoder share.

/// What both directions of the GIF LZW coder share: the code sizes, the clear
/// and end codes, the growing code width and the next free code.
class TZVQ_LZWCommon {
public:
    /// The highest code: codes are at most 12 bits wide.
    static constexpr int kMaxCode = 4095;
    /// The codes there are, 0 ... kMaxCode.
    static constexpr int kMaxCodes = kMaxCode + 1;

    /// A coder over @p stream (borrowed). A minimum code size of 1 is taken
    /// as 2; anything outside 1 ... 12 raises ELZWError "Unsupported Minimum
    /// Code Size - %1", %1 the size.
    TZVQ_LZWCommon(TStream* stream, int minimumCodeSize);

    /// The most pixels that `dataBytes` bytes of code stream can give, at any
    /// minimum code size: the n-th code after a clear gives at most n pixels
    /// (and never more than the dictionary's longest string), and codes are
    /// at their narrowest when the minimum code size is 2.
    static std::int64_t maxPixelsIn(std::int64_t dataBytes);
    virtual ~TZVQ_LZWCommon() = default;
    TZVQ_LZWCommon(const TZVQ_LZWCommon&) = delete;
    TZVQ_LZWCommon& operator=(const TZVQ_LZWCommon&) = delete;

    /// The minimum code size in use (1 taken as 2).
    int GetMinimumCodeSize() const { return minimumCodeSize_; }
    /// The width of the next code in bits.
    int GetCodeWidth() const { return codeWidth_; }
    ///@{
    /// 2^minimum code size, and the code after it.
    std::uint16_t GetClearCode() const { return clearCode_; }
    std::uint16_t GetEndCode() const { return endCode_; }
    ///@}
    /// The code the next new string gets.
    std::uint16_t GetNextFreeCode() const { return nextFreeCode_; }

protected:
    /// Back to the first code width; codes above the end code are free again.
    void InitDictionary();

    TStream* stream_;                       ///< borrowed
    int minimumCodeSize_;                   ///< as GetMinimumCodeSize
    int codeWidth_ = 0;                     ///< as GetCodeWidth
    std::uint32_t nextWidthThreshold_ = 0;  ///< the next free code that widens codes
    std::uint16_t nextFreeCode_ = 0;        ///< as GetNextFreeCode
    std::uint16_t clearCode_;               ///< as GetClearCode
    std::uint16_t endCode_;                 ///< as GetEndCode
    bool started_ = false;                  ///< a clear code has begun the data
};
