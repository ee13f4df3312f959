#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "gif/lzw_common.h"
#include "imaging/dib_format.h"

class TDIBMappedReader;

/// @file
/// The LZW encoder of GIF image data.

/// Turns rows of colour indices into the LZW code stream of one GIF image:
/// the code-size byte, 255-byte data sub-blocks and the block terminator.
/// Rows form one continuous code stream. Output is gathered in memory and
/// reaches the stream in large writes; a stream that takes less raises its
/// own error (EWriteError through TStream::WriteBuffer).
class TZVQ_LZWCompressor : public TZVQ_LZWCommon {
public:
    /// The string table: the code of the string (prefix code, pixel) at slot
    /// pixel * kColumn + prefix, 0 where there is none (no string has code
    /// 0). One load finds a string, without probing. A pixel's column keeps
    /// the strings it ends in code order, so strings made near one another
    /// share cache lines; columns are 64 slots longer than the codes, so that
    /// they do not all start in the same cache sets. The table takes just
    /// over 2 MiB; clean ones wait between images for whichever thread codes
    /// next, so that their pages are touched once, not once per image or
    /// per thread.
    static constexpr int kColumn = kMaxCodes + 64;
    /// The slots of the string table, a column for each pixel value.
    static constexpr int kTableSize = kColumn * 256;

    /// dtMonochrome, dt4bit and dt8bit take minimum code sizes 2, 4 and 8;
    /// any other format raises ELZWError "Cannot write an image with more
    /// than 256 colours as a GIF" before anything is written. The stream is
    /// borrowed; std::bad_alloc when the string table cannot be had.
    TZVQ_LZWCompressor(TStream* stream, TDIBFormat format);
    /// Any minimum code size from 2 to 8 (1 is taken as 2), for images whose
    /// indices all lie below 2^size; others raise ELZWError "Unsupported
    /// Minimum Code Size - N" before anything is written. The stream is
    /// borrowed.
    TZVQ_LZWCompressor(TStream* stream, int minimumCodeSize);
    /// Finishes the code stream when Finish was not called; a failure to
    /// write is lost here, so callers that care call Finish.
    ~TZVQ_LZWCompressor() override;

    /// Codes one row: as many pixels as the reader's row has (its indices
    /// from the reader's position on). Always true.
    bool WriteRow(TDIBMappedReader* reader);
    /// Codes @p count more pixels of the image.
    /// Indices beyond the colours of the format are taken modulo their count.
    void writeIndices(const std::uint8_t* indices, int count);
    /// Codes pixels that may each be shown by either of two indices (where
    /// both are the same, by that one alone), each code as long a string as
    /// the dictionary holds for any choice. Frames whose unchanged pixels
    /// may be transparent pass the transparent index as the alternative
    /// there, so that strings run on through both.
    void writeEitherIndices(const std::uint8_t* indices, const std::uint8_t* alternatives, int count);
    /// With @p on, a full dictionary is kept, its strings coded without new
    /// ones, while its recent codes hold at least 15/16 of the pixels a bit
    /// that it gave from its clear until it filled; the clear comes once
    /// they fall behind, where a fresh dictionary would do better.
    /// Off (the default), a clear follows as soon as the dictionary fills,
    /// as most GIF encoders write. Set before the first pixel.
    void setDeferredClear(bool on) { deferClear_ = on; }
    /// Writes the last prefix, the end code, the partial sub-block and the
    /// terminator, and hands everything still held to the stream. An image
    /// without pixels gets the terminator alone. Only the first call writes.
    void Finish();

    /// The slot of (prefix, pixel) in the string table: it holds the
    /// string's code, or 0 when the string is not there yet.
    int FindChildNode(std::uint16_t prefix, std::uint8_t pixel) const;
    /// Adds a code of @p width bits to the code stream.
    void WriteBits(std::uint32_t code, int width);

private:
    struct TableDeleter {
        void operator()(std::uint16_t* table) const;
    };
    using Table = std::unique_ptr<std::uint16_t[], TableDeleter>;
    // Clean string tables, kept for the next image any thread codes.
    struct SpareTables;
    static SpareTables& spareTables();
    static Table takeTable();
    static void giveBack(Table table);
    static std::uint32_t slotOf(std::uint32_t prefix, std::uint8_t pixel) {
        return std::uint32_t(pixel) * kColumn + prefix;
    }
    std::uint8_t pixelMask() const { return std::uint8_t((1u << minimumCodeSize_) - 1); }

    // A string writeEitherIndices follows: its code and the pixel it starts
    // with.
    struct Strand {
        std::uint16_t code;
        std::uint8_t first;
    };
    // The longest of them: its code, first pixel and where it ends.
    struct EitherMatch {
        std::uint32_t code = 0;
        std::uint8_t first = 0;
        int end = 0;
    };
    EitherMatch longestEither(const std::uint8_t* indices, const std::uint8_t* alternatives, int count,
                              const Strand* strands, int started, int at, std::uint32_t previous) const;
    void resetDictionary();
    void startCodes();
    // Where the string now begun started, and whether a code that ended
    // there makes a full dictionary give way to a fresh one.
    void noteFull(std::int64_t stringStart);
    bool staleCodeFallsBehind(std::int64_t stringStart);
    void clearFullDictionary(std::int64_t stringStart);
    int writeGrowing(const std::uint8_t* indices, int i, int count);
    int writeWithFullTable(const std::uint8_t* indices, int i, int count);
    int freshBits() const;
    static constexpr int kRunFraction = 8;  // fraction bits of recentRun_
    static constexpr int kRunMemory = 9;    // the running mean weighs a code 1/512
    static constexpr int kFallBehind = 15;  // sixteenths of the fresh rate
    // Cuts the coded bytes gathered so far into full sub-blocks.
    void flushSubBlocks();
    void flushOutput();

    Table table_;
    // The slots filled since the last reset, so that a reset empties only
    // those.
    std::uint32_t filled_[kMaxCodes];
    int filledCount_ = 0;
    std::uint16_t currentPrefix_ = 0;
    bool finished_ = false;

    // Deferred clears: the pixels coded before this call, where the
    // dictionary was last cleared, where its codes reached 12 bits and
    // where the current string began; the pixels a fresh dictionary coded
    // in its bits, and the recent pixels a code (a running mean, 8
    // fraction bits) of the full one.
    bool deferClear_ = false;
    bool full_ = false;
    std::int64_t position_ = 0;
    std::int64_t clearedAt_ = 0;
    std::int64_t widestAt_ = 0;
    std::int64_t stringStart_ = 0;
    std::int64_t freshPixels_ = 0;
    std::int64_t freshBits_ = 0;
    std::int64_t recentRun_ = 0;

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
