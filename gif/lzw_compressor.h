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
    static constexpr int kHashSize = 5021;  // a prime above the 4096 codes
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
    void resetDictionary();
    void flushSubBlock();
    void flushOutput();

    std::int16_t hashCode_[kHashSize];
    std::uint16_t hashPrefix_[kHashSize];
    std::uint8_t hashSuffix_[kHashSize];
    std::uint16_t currentPrefix_ = 0;
    bool finished_ = false;

    std::uint64_t bits_ = 0;
    int bitCount_ = 0;
    std::uint8_t subBlock_[256];
    int subBlockLength_ = 0;
    std::vector<std::uint8_t> output_;
    std::vector<std::uint8_t> row_;
};
