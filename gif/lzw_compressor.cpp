#include "gif/lzw_compressor.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "gif/gif_errors.h"
#include "imaging/pixel_readers.h"
#include "toolkit/streams.h"

namespace {

constexpr std::size_t kOutputChunk = 64 * 1024;
constexpr std::size_t kTableBytes = std::size_t(TZVQ_LZWCompressor::kTableSize) * sizeof(std::uint16_t);

int checkedCodeSize(int size) {
    if (size == 1) return 2;
    if (size < 2 || size > 8) throw ELZWError(QStringLiteral("Unsupported Minimum Code Size - %1").arg(size));
    return size;
}

int codeSizeFor(TDIBFormat format) {
    switch (format) {
    case TDIBFormat::dtMonochrome: return 2;
    case TDIBFormat::dt4bit: return 4;
    case TDIBFormat::dt8bit: return 8;
    default:
        throw ELZWError(QStringLiteral("Cannot write an image with more than 256 colours as a GIF"));
    }
}

// Adds a code to the bit buffer; a whole 32-bit word of codes goes on to
// `coded`. True once `coded` holds enough to be cut into sub-blocks.
[[gnu::always_inline]] inline bool packCode(std::uint64_t& bits, int& bitCount, std::uint8_t* coded, int& length,
                                            std::uint32_t code, int width, int full) {
    bits |= std::uint64_t(code) << bitCount;
    bitCount += width;
    if (bitCount < 32) return false;
    const std::uint32_t word = std::uint32_t(bits);
    std::memcpy(coded + length, &word, 4);
    length += 4;
    bits >>= 32;
    bitCount -= 32;
    return length >= full;
}

}  // namespace

void TZVQ_LZWCompressor::TableDeleter::operator()(std::uint16_t* table) const {
    munmap(table, kTableBytes);
}

thread_local TZVQ_LZWCompressor::Table TZVQ_LZWCompressor::spareTable_;

// Fresh zero pages, mapped in one call: a table read before it is written
// would otherwise take two faults a page, the second of which stops every
// other core that runs one of our threads.
TZVQ_LZWCompressor::Table TZVQ_LZWCompressor::takeTable() {
    if (spareTable_) return std::move(spareTable_);
    void* table = mmap(nullptr, kTableBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (table == MAP_FAILED) throw std::bad_alloc();
    return Table(static_cast<std::uint16_t*>(table));
}

void TZVQ_LZWCompressor::giveBack(Table table) {
    if (!spareTable_) spareTable_ = std::move(table);
}

TZVQ_LZWCompressor::TZVQ_LZWCompressor(TStream* stream, TDIBFormat format)
    : TZVQ_LZWCommon(stream, codeSizeFor(format)), table_(takeTable()) {
    output_.reserve(kOutputChunk + kCodedSize + 64);
    output_.push_back(std::uint8_t(minimumCodeSize_));
}

TZVQ_LZWCompressor::TZVQ_LZWCompressor(TStream* stream, int minimumCodeSize)
    : TZVQ_LZWCommon(stream, checkedCodeSize(minimumCodeSize)), table_(takeTable()) {
    output_.reserve(kOutputChunk + kCodedSize + 64);
    output_.push_back(std::uint8_t(minimumCodeSize_));
}

TZVQ_LZWCompressor::~TZVQ_LZWCompressor() {
    try {
        Finish();
    } catch (...) {
    }
    resetDictionary();
    giveBack(std::move(table_));
}

void TZVQ_LZWCompressor::resetDictionary() {
    InitDictionary();
    for (int i = 0; i < filledCount_; ++i) table_[filled_[i]] = 0;
    filledCount_ = 0;
}

int TZVQ_LZWCompressor::FindChildNode(std::uint16_t prefix, std::uint8_t pixel) const {
    return int(slotOf(prefix & kMaxCode, pixel & pixelMask()));
}

void TZVQ_LZWCompressor::WriteBits(std::uint32_t code, int width) {
    if (packCode(bits_, bitCount_, coded_, codedLength_, code, width, kCodedSize)) flushSubBlocks();
}

void TZVQ_LZWCompressor::flushSubBlocks() {
    int at = 0;
    for (; codedLength_ - at >= 255; at += 255) {
        output_.push_back(255);
        output_.insert(output_.end(), coded_ + at, coded_ + at + 255);
    }
    std::memmove(coded_, coded_ + at, std::size_t(codedLength_ - at));
    codedLength_ -= at;
    if (output_.size() >= kOutputChunk) flushOutput();
}

void TZVQ_LZWCompressor::flushOutput() {
    if (output_.empty()) return;
    stream_->WriteBuffer(output_.data(), std::int64_t(output_.size()));
    output_.clear();
}

// The loop keeps the coder's state in locals, out of reach of the stores to
// the string table and the output, so that it stays in registers; it goes
// back to the members where other functions need it.
template <bool Either>
void TZVQ_LZWCompressor::codeIndices(const std::uint8_t* indices, const std::uint8_t* alternatives, int count) {
    int i = 0;
    if (!started_ && count > 0) {
        resetDictionary();
        WriteBits(clearCode_, codeWidth_);
        currentPrefix_ = (Either ? alternatives[i] : indices[i]) & pixelMask();
        ++i;
        started_ = true;
    }
    std::uint32_t prefix = currentPrefix_, next = nextFreeCode_, threshold = nextWidthThreshold_;
    int width = codeWidth_, filled = filledCount_, coded = codedLength_, bitCount = bitCount_;
    std::uint64_t bits = bits_;
    std::uint16_t* const table = table_.get();
    const std::uint8_t mask = pixelMask();
    const auto put = [&](std::uint32_t code) {
        if (!packCode(bits, bitCount, coded_, coded, code, width, kCodedSize)) return;
        codedLength_ = coded;
        flushSubBlocks();
        coded = codedLength_;
    };
    for (; i < count; ++i) {
        std::uint8_t pixel = indices[i] & mask;
        std::uint32_t slot = slotOf(prefix, pixel);
        if constexpr (Either) {
            const std::uint8_t alternative = alternatives[i] & mask;
            if (alternative != pixel) {
                const std::uint32_t other = slotOf(prefix, alternative);
                const bool both = table[slot] != 0 && table[other] != 0;
                const bool neither = table[slot] == 0 && table[other] == 0;
                bool takeAlternative = table[other] != 0;
                if (both || neither) {
                    // Whichever the next pixel can follow; else transparency
                    // before more of it.
                    const auto follows = [&](std::uint32_t from) {
                        if (i + 1 >= count) return false;
                        const std::uint32_t start = both ? table[from] : (from == slot ? pixel : alternative);
                        return table[slotOf(start, indices[i + 1] & mask)] != 0 ||
                               table[slotOf(start, alternatives[i + 1] & mask)] != 0;
                    };
                    const bool viaPixel = follows(slot), viaAlternative = follows(other);
                    takeAlternative = viaAlternative || (!viaPixel && (i + 1 >= count || alternatives[i + 1] != indices[i + 1]));
                }
                if (takeAlternative) {
                    pixel = alternative;
                    slot = other;
                }
            }
        }
        const std::uint32_t code = table[slot];
        if (code != 0) {
            prefix = code;
            continue;
        }
        table[slot] = std::uint16_t(next);
        filled_[filled++] = slot;
        ++next;
        put(prefix);
        prefix = pixel;
        if (next > std::uint32_t(kMaxCode)) {
            put(clearCode_);
            filledCount_ = filled;
            resetDictionary();
            filled = 0;
            next = nextFreeCode_;
            width = codeWidth_;
            threshold = nextWidthThreshold_;
        } else if (next > threshold) {
            ++width;
            threshold <<= 1;
        }
    }
    currentPrefix_ = std::uint16_t(prefix);
    nextFreeCode_ = std::uint16_t(next);
    nextWidthThreshold_ = threshold;
    codeWidth_ = width;
    filledCount_ = filled;
    codedLength_ = coded;
    bitCount_ = bitCount;
    bits_ = bits;
}

void TZVQ_LZWCompressor::writeIndices(const std::uint8_t* indices, int count) {
    codeIndices<false>(indices, nullptr, count);
}

void TZVQ_LZWCompressor::writeEitherIndices(const std::uint8_t* indices, const std::uint8_t* alternatives,
                                            int count) {
    codeIndices<true>(indices, alternatives, count);
}

bool TZVQ_LZWCompressor::WriteRow(TDIBMappedReader* reader) {
    row_.resize(std::size_t(std::max(reader->GetWidth(), 0)));
    writeIndices(row_.data(), reader->GetNextIndices(row_.data(), int(row_.size())));
    return true;
}

void TZVQ_LZWCompressor::Finish() {
    if (finished_) return;
    finished_ = true;
    if (started_) {
        WriteBits(currentPrefix_, codeWidth_);
        WriteBits(endCode_, codeWidth_);
        for (; bitCount_ > 0; bitCount_ -= 8, bits_ >>= 8) coded_[codedLength_++] = std::uint8_t(bits_);
        bitCount_ = 0;
        flushSubBlocks();
        if (codedLength_ > 0) {
            output_.push_back(std::uint8_t(codedLength_));
            output_.insert(output_.end(), coded_, coded_ + codedLength_);
            codedLength_ = 0;
        }
        started_ = false;
    }
    // An image without pixels still closes its data with the terminator, so
    // that readers find the next block.
    output_.push_back(0);
    flushOutput();
}
