#pragma once

#include <cstdint>
#include <vector>

#include "gif/lzw_common.h"
#include "imaging/dib_format.h"

class TDIBMappedReader;

// Turns rows of colour indices into the LZW code stream of one GIF image:
// the code-size byte, 255-byte data sub-blocks and the block terminator.
// Rows form one continuous code stream. Output is gathered in memory and
// reaches the stream in large writes.
class TZVQ_LZWCompressor : public TZVQ_LZWCommon {
public:
    // The string table: each slot holds the key of one string (its prefix
    // code and last pixel) and the string's code. Twice as many slots as
    // codes keep probe sequences short.
    static constexpr int kHashSize = 8192;
    static constexpr int kNotFound = kHashSize;

    // dtMonochrome, dt4bit and dt8bit take minimum code sizes 2, 4 and 8;
    // any other format raises ELZWError before anything is written.
    TZVQ_LZWCompressor(TStream* stream, TDIBFormat format);
    // Finishes the code stream when Finish was not called; a failure to
    // write is lost here, so callers that care call Finish.
    ~TZVQ_LZWCompressor() override;

    // Codes one row: as many pixels as the reader's row has.
    bool WriteRow(TDIBMappedReader* reader);
    void writeIndices(const std::uint8_t* indices, int count);
    // Writes the last prefix, the end code, the partial sub-block and the
    // terminator, and hands everything still held to the stream.
    void Finish();

    // The slot of (prefix, pixel) in the string table, or the empty slot
    // where it belongs; kNotFound when the table is full.
    int FindChildNode(std::uint16_t prefix, std::uint8_t pixel) const;
    void WriteBits(std::uint32_t code, int width);

private:
    // A slot: key (prefix << 8 | pixel) << 12 | code; 0 when empty (no
    // string has code 0).
    static std::uint32_t keyOf(std::uint32_t prefix, std::uint8_t pixel) { return prefix << 8 | pixel; }
    // The pixel's bits spread over the prefix's: one XOR on the path from
    // one pixel to the next, and a prefix's 256 children in distinct slots.
    static int startSlot(std::uint32_t prefix, std::uint8_t pixel) {
        return int((prefix ^ std::uint32_t(pixel) << 5) & (kHashSize - 1));
    }
    // Strings made one after another have neighbouring start slots: the
    // probe leaps rather than steps, so that they form no clusters. Any odd
    // leap visits every slot.
    static int nextSlot(int slot) { return (slot + 1021) & (kHashSize - 1); }

    void resetDictionary();
    // Cuts the coded bytes gathered so far into full sub-blocks.
    void flushSubBlocks();
    void flushOutput();

    std::uint32_t slots_[kHashSize];
    // The slots filled since the last reset, so that a reset empties only
    // those.
    std::uint16_t filled_[kMaxCodes];
    int filledCount_ = 0;
    std::uint16_t currentPrefix_ = 0;
    bool finished_ = false;

    // Codes are packed into `bits_` and leave it 32 bits at a time for
    // `coded_`, which becomes 255-byte sub-blocks in `output_`.
    std::uint64_t bits_ = 0;
    int bitCount_ = 0;
    static constexpr int kCodedSize = 255 * 16;
    std::uint8_t coded_[kCodedSize + 8];
    int codedLength_ = 0;
    std::vector<std::uint8_t> output_;
    std::vector<std::uint8_t> row_;
};
