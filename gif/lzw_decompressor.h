#pragma once

#include <cstdint>
#include <memory>

#include "gif/lzw_common.h"
#include "gif/stream_window.h"

class TDIBMappedWriter;

/// @file
/// The LZW decoder of GIF image data.

/// Reads the LZW code stream of one GIF image (code-size byte, data
/// sub-blocks, terminator) back into rows of colour indices.
///
/// Each code's string is kept as its length, its last chunk of up to eight
/// bytes and the code of everything before that chunk, so a long string is
/// copied eight bytes at a time instead of being walked byte by byte. Codes
/// are decoded into a buffer of the decoder's own, only as far as the pixels
/// asked for need, and handed out from there.
///
/// Reading raises EGIFError "Undefined symbol in LZW stream" for a code
/// beyond the next free one, and ELZWError "Unexpected end of input stream"
/// when the data ends (no end code) with no bit of the next code left; the
/// last code of the data may be short of bits and is taken zero-padded. Data
/// running past code 4095 without a clear code goes on with the full
/// dictionary.
class TZVQ_LZWDecompressor : public TZVQ_LZWCommon {
public:
    /// Reads the minimum code size from the stream's position (the stream is
    /// borrowed); raises ELZWError "Unexpected end of input stream" when it
    /// is missing, and "Unsupported Minimum Code Size - %1" as TZVQ_LZWCommon.
    explicit TZVQ_LZWDecompressor(TStream* stream);
    /// Skips whatever is left of the image data, so that the stream stands
    /// after the image's block terminator.
    ~TZVQ_LZWDecompressor() override;

    /// Fills the writer's current row; false when the end code came first or
    /// had already been seen (the pixels before it are written).
    bool ReadRow(TDIBMappedWriter* writer);
    /// Rows are taken from the code stream at this width whatever the
    /// writer's width; pixels beyond the writer's row are dropped.
    void setRowWidth(int width) { rowWidth_ = width; }
    /// The image's pixels, when the caller knows them: the codes are then
    /// decoded a piece at a time however short the rows asked for, so that a
    /// small image costs one pass of the decoding loop, not one a row.
    void setPixelsExpected(std::int64_t pixels) { expected_ = pixels; }
    /// Up to `count` indices into `out` (nothing beyond); fewer only when the
    /// end code came first.
    int readIndices(std::uint8_t* out, int count);
    /// The next code of the given width (1 ... 16 bits).
    std::uint16_t ReadBits(int width);

    /// The end code has been read.
    bool endOfData() const { return endOfData_; }
    /// The block terminator was met, or the stream ended inside the data.
    bool inputExhausted() const { return input_.exhausted(); }

private:
    // The fast path may make a few strings past the last code before it
    // sees that the dictionary is full: they go to slots nobody reads.
    static constexpr int kPastFull = 4;
    static constexpr int kScratch = kMaxCodes + kPastFull;  // a lone first code that is no literal
    static constexpr int kSlots = kScratch + 1;
    // The length less one of the clear and end codes' entries: no string.
    static constexpr std::uint32_t kNoString = 0xFFFF;
    static constexpr int kSlack = 8;
    static constexpr int kPiece = 16 * 1024;
    // The fast path looks at the target every four codes.
    static constexpr int kCodesPerCheck = 4;
    // Room past the piece: the longest strings of one check, and the
    // chunked copy's slack.
    static constexpr int kOutputSize = kPiece + kCodesPerCheck * (kMaxCodes + 1) + kSlack;

    static std::unique_ptr<std::uint8_t[]> takeOutputBuffer();
    template <typename Sink>
    int drain(int count, Sink sink);
    void decodeAtLeast(int count);
    std::uint8_t* startString(std::uint8_t* at);
    std::uint8_t* decodeRun(std::uint8_t* at, const std::uint8_t* target);
    template <bool Full>
    std::uint8_t* decodeRunWith(std::uint8_t* at, const std::uint8_t* target);
    std::uint8_t* decodeCode(std::uint8_t* at);
    void addString(std::uint32_t previous, std::uint8_t last, std::uint32_t& nextFree, int& width);
    std::uint8_t copyString(std::uint32_t code, std::uint8_t* out, int length) const;
    std::uint8_t* writeString(std::uint32_t code, std::uint32_t previous, std::uint32_t nextFree,
                              std::uint8_t* at, std::uint8_t& first) const;
    void setLiteral(int slot, std::uint8_t value);
    std::uint32_t readCode(int width);
    std::uint32_t finalCode(int width);
    void refill();

    // The image data without its count bytes, read a piece ahead; the bits
    // not yet taken from the bytes before in_ wait in bits_.
    TSubBlockReader input_;
    const std::uint8_t* in_;
    std::uint64_t bits_ = 0;
    int bitCount_ = 0;
    bool endOfData_ = false;
    std::uint16_t previousCode_ = 0;
    int rowWidth_ = 0;
    std::int64_t expected_ = 0;  // pixels the caller still expects

    // One code's string: its last chunk (bytes in string order, the first
    // in the lowest bits), and a link holding the code of what comes before
    // the chunk (low 16 bits) and the string's length less one (high 16
    // bits); 16 bytes, so that one string touches one cache line. The
    // chunk's bytes past the string's last are zero.
    struct alignas(16) Entry {
        std::uint64_t suffix;
        std::uint32_t link;

        unsigned lengthLess1() const { return link >> 16; }
        unsigned prefix() const { return link & 0xFFFF; }
        // The string of the code `self` followed by `byte`: the byte goes
        // after the last chunk, or starts a chunk of its own. Bytes past a
        // chunk's last are zero, so it is simply added in.
        Entry followedBy(std::uint8_t byte, std::uint32_t self) const {
            const unsigned shift = ((lengthLess1() + 1) & 7) * 8;
            const bool sameChunk = shift != 0;
            Entry made;
            made.suffix = (sameChunk ? suffix : 0) | (std::uint64_t(byte) << shift);
            made.link = (sameChunk ? link : (link & 0xFFFF0000u) | self) + 0x10000u;
            return made;
        }
    };
    Entry entries_[kSlots];

    // Decoded indices not yet handed out: [outAt_, outEnd_).
    std::unique_ptr<std::uint8_t[]> output_;
    int outAt_ = 0;
    int outEnd_ = 0;
};
