#pragma once

#include <cstdint>
#include <memory>

#include "gif/lzw_common.h"
#include "gif/stream_window.h"

class TDIBMappedWriter;

// Reads the LZW code stream of one GIF image (code-size byte, data
// sub-blocks, terminator) back into rows of colour indices.
//
// Each code's string is kept as its length, its last chunk of up to eight
// bytes and the code of everything before that chunk, so a long string is
// copied eight bytes at a time instead of being walked byte by byte.
class TZVQ_LZWDecompressor : public TZVQ_LZWCommon {
public:
    // Reads the minimum code size; raises ELZWError "Unexpected end of input
    // stream" when it is missing.
    explicit TZVQ_LZWDecompressor(TStream* stream);
    // Skips whatever is left of the image data, so that the stream stands
    // after the image's block terminator.
    ~TZVQ_LZWDecompressor() override;

    // Fills the writer's current row; false when the end code came first or
    // had already been seen (the pixels before it are written).
    bool ReadRow(TDIBMappedWriter* writer);
    // Rows are taken from the code stream at this width whatever the
    // writer's width; pixels beyond the writer's row are dropped.
    void setRowWidth(int width) { rowWidth_ = width; }
    // Up to `count` indices into `out` (nothing beyond); fewer only when the
    // end code came first.
    int readIndices(std::uint8_t* out, int count);
    // The next code of the given width (1 ... 16 bits).
    std::uint16_t ReadBits(int width);

    bool endOfData() const { return endOfData_; }
    bool inputExhausted() const { return inputExhausted_; }

private:
    static constexpr int kScratch = kMaxCodes;  // a lone first code that is no literal
    static constexpr int kSlots = kMaxCodes + 1;
    static constexpr int kSlack = 8;

    bool startString(std::uint8_t* out, int& n);
    void copyString(std::uint16_t code, std::uint8_t* out, int length) const;
    int decodeRun(std::uint8_t* out, int n, int count);
    void setLiteral(int slot, std::uint8_t value);
    int takePending(std::uint8_t* out, int count);
    std::uint32_t readCode(int width);
    std::uint32_t finalCode(int width);
    void refill();
    bool nextSubBlock();
    void skipRest();

    TStreamWindow window_;
    std::uint64_t bits_ = 0;
    int bitCount_ = 0;
    int blockLeft_ = 0;
    bool inputExhausted_ = false;
    bool endOfData_ = false;
    std::uint16_t previousCode_ = 0;
    int rowWidth_ = 0;

    // One code's string: its last chunk, the code of what comes before the
    // chunk, its length less one and its first byte; 16 bytes, so that one
    // string touches one cache line.
    struct alignas(16) Entry {
        std::uint8_t suffix[8];
        std::uint16_t prefix;
        std::uint16_t lengthLess1;
        std::uint8_t first;
    };
    Entry entries_[kSlots];

    std::uint8_t pending_[kMaxCodes + kSlack];
    int pendingAt_ = 0;
    int pendingEnd_ = 0;
    std::unique_ptr<std::uint8_t[]> row_;
    int rowCapacity_ = 0;
};
