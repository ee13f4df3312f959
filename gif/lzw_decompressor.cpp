#include "gif/lzw_decompressor.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "gif/gif_errors.h"
#include "imaging/pixel_writers.h"
#include "toolkit/streams.h"

namespace {

[[noreturn]] void throwEndOfInput() {
    throw ELZWError(QStringLiteral("Unexpected end of input stream"));
}

int readCodeSizeByte(TStream* stream) {
    std::uint8_t size = 0;
    if (stream->Read(&size, 1) != 1) throwEndOfInput();
    return size;
}

std::uint64_t loadLittleEndian64(const std::uint8_t* bytes) {
    std::uint64_t value;
    std::memcpy(&value, bytes, sizeof value);
    if constexpr (std::endian::native == std::endian::big) value = __builtin_bswap64(value);
    return value;
}

}  // namespace

TZVQ_LZWDecompressor::TZVQ_LZWDecompressor(TStream* stream)
    : TZVQ_LZWCommon(stream, readCodeSizeByte(stream)), window_(stream) {
    for (int code = 0; code < clearCode_; ++code) setLiteral(code, std::uint8_t(code));
}

TZVQ_LZWDecompressor::~TZVQ_LZWDecompressor() {
    try {
        if (!inputExhausted_) skipRest();
        window_.release();
    } catch (...) {
        // A stream that fails while the rest is skipped leaves the next read
        // to report it.
    }
}

void TZVQ_LZWDecompressor::setLiteral(int slot, std::uint8_t value) {
    Entry& entry = entries_[slot];
    entry.lengthLess1 = 0;
    entry.first = value;
    entry.suffix[0] = value;
}

// --- Sub-blocks and bits ---------------------------------------------------

bool TZVQ_LZWDecompressor::nextSubBlock() {
    if (!window_.ensure(1)) {
        inputExhausted_ = true;
        return false;
    }
    const int count = *window_.cur();
    window_.advance(1);
    window_.ensure(count);
    // A sub-block cut short by the end of the stream counts for what it has.
    blockLeft_ = int(std::min<std::int64_t>(count, window_.available()));
    if (blockLeft_ == 0) inputExhausted_ = true;
    return blockLeft_ > 0;
}

// Tops the bit buffer up to at least 56 bits while data is left; the bits
// above the count are always zero.
void TZVQ_LZWDecompressor::refill() {
    while (bitCount_ < 56) {
        if (blockLeft_ >= 8 && window_.available() >= 8) {
            const int take = (63 - bitCount_) >> 3;  // 1 ... 7 whole bytes
            const std::uint64_t mask = (std::uint64_t(1) << (8 * take)) - 1;
            bits_ |= (loadLittleEndian64(window_.cur()) & mask) << bitCount_;
            bitCount_ += 8 * take;
            window_.advance(take);
            blockLeft_ -= take;
            continue;
        }
        if (blockLeft_ == 0) {
            if (inputExhausted_ || !nextSubBlock()) return;
            continue;
        }
        if (!window_.ensure(1)) {
            inputExhausted_ = true;
            return;
        }
        bits_ |= std::uint64_t(*window_.cur()) << bitCount_;
        bitCount_ += 8;
        window_.advance(1);
        --blockLeft_;
    }
}

// The last code of the data may be short of bits: it is taken zero-padded.
// With no bit left at all the stream ended too early.
std::uint32_t TZVQ_LZWDecompressor::finalCode(int width) {
    if (bitCount_ == 0) {
        inputExhausted_ = true;
        throwEndOfInput();
    }
    const auto code = std::uint32_t(bits_ & ((std::uint64_t(1) << width) - 1));
    bits_ = 0;
    bitCount_ = 0;
    return code;
}

inline std::uint32_t TZVQ_LZWDecompressor::readCode(int width) {
    if (bitCount_ < width) {
        refill();
        if (bitCount_ < width) return finalCode(width);
    }
    const auto code = std::uint32_t(bits_ & ((std::uint64_t(1) << width) - 1));
    bits_ >>= width;
    bitCount_ -= width;
    return code;
}

std::uint16_t TZVQ_LZWDecompressor::ReadBits(int width) {
    return std::uint16_t(readCode(std::clamp(width, 1, 16)));
}

// --- Strings ---------------------------------------------------------------

// Writes the string back to front, a chunk at a time. The last chunk is
// copied whole, so up to seven bytes after the string are overwritten: every
// buffer written here has that much room beyond its end.
[[gnu::always_inline]] inline void TZVQ_LZWDecompressor::copyString(std::uint16_t code, std::uint8_t* out,
                                                                   int length) const {
    std::uint8_t* at = out + length - (((length - 1) & 7) + 1);
    std::memcpy(at, entries_[code].suffix, 8);
    while (at > out) {
        code = entries_[code].prefix;
        at -= 8;
        std::memcpy(at, entries_[code].suffix, 8);
    }
}

int TZVQ_LZWDecompressor::takePending(std::uint8_t* out, int count) {
    const int n = std::min(count, pendingEnd_ - pendingAt_);
    if (n > 0) {
        std::memcpy(out, pending_ + pendingAt_, std::size_t(n));
        pendingAt_ += n;
    }
    return std::max(n, 0);
}

// The first code after a clear code stands for itself: only its low eight
// bits are written. One that is no literal gets a string of its own, so that
// no entry of an earlier dictionary is ever followed.
bool TZVQ_LZWDecompressor::startString(std::uint8_t* out, int& n) {
    while (!started_) {
        InitDictionary();
        const std::uint32_t code = readCode(codeWidth_);
        if (code == endCode_) {
            endOfData_ = true;
            return false;
        }
        if (code == clearCode_) continue;
        if (code < clearCode_) {
            previousCode_ = std::uint16_t(code);
        } else {
            setLiteral(kScratch, std::uint8_t(code));
            previousCode_ = kScratch;
        }
        out[n++] = std::uint8_t(code);
        started_ = true;
    }
    return true;
}

int TZVQ_LZWDecompressor::readIndices(std::uint8_t* out, int count) {
    int n = takePending(out, count);
    while (n < count && !endOfData_) {
        if (!started_) {
            if (!startString(out, n)) break;
            continue;
        }
        n = decodeRun(out, n, count);
    }
    return n;
}

// The codes of one dictionary, until the row is full or a clear or end code
// comes. The hot state lives in locals here and goes back to the members
// whenever anything else may look at it.
int TZVQ_LZWDecompressor::decodeRun(std::uint8_t* out, int n, int count) {
    std::uint64_t bits = bits_;
    int bitCount = bitCount_;
    int width = codeWidth_;
    std::uint32_t nextFree = nextFreeCode_;
    std::uint32_t threshold = nextWidthThreshold_;
    std::uint32_t previous = previousCode_;
    const std::uint32_t clear = clearCode_;
    const auto store = [&] {
        bits_ = bits;
        bitCount_ = bitCount;
        codeWidth_ = width;
        nextFreeCode_ = std::uint16_t(nextFree);
        nextWidthThreshold_ = threshold;
        previousCode_ = std::uint16_t(previous);
    };
    while (n < count) {
        std::uint32_t code;
        if (bitCount >= width) {
            code = std::uint32_t(bits & ((std::uint64_t(1) << width) - 1));
            bits >>= width;
            bitCount -= width;
        } else {
            store();
            refill();
            bits = bits_;
            bitCount = bitCount_;
            if (bitCount >= width) continue;
            code = finalCode(width);
            bits = 0;
            bitCount = 0;
        }
        if (code - clear < 2) {  // the clear or the end code
            store();
            started_ = false;
            endOfData_ = code != clear;
            return n;
        }
        if (code > nextFree || code >= kMaxCodes) {
            store();
            throw EGIFError(QStringLiteral("Undefined symbol in LZW stream"));
        }
        // A full dictionary takes no new entries: later codes keep using it.
        if (nextFree < kMaxCodes) {
            const Entry& before = entries_[previous];
            Entry& entry = entries_[nextFree];
            const std::uint8_t last = code == nextFree ? before.first : entries_[code].first;
            const auto lengthLess1 = std::uint16_t(before.lengthLess1 + 1);
            const int column = lengthLess1 & 7;
            std::memcpy(entry.suffix, before.suffix, 8);
            entry.suffix[column] = last;
            entry.prefix = column != 0 ? before.prefix : std::uint16_t(previous);
            entry.lengthLess1 = lengthLess1;
            entry.first = before.first;
            ++nextFree;
            if (nextFree >= threshold && nextFree < kMaxCode) {
                threshold <<= 1;
                ++width;
            }
        }
        previous = code;
        const Entry& string = entries_[code];
        const int length = string.lengthLess1 + 1;
        // The chunked copy writes up to seven bytes past the string.
        if (length + kSlack <= count - n) {
            if (length <= 8) {
                std::memcpy(out + n, string.suffix, 8);
            } else {
                copyString(std::uint16_t(code), out + n, length);
            }
            n += length;
        } else {
            copyString(std::uint16_t(code), pending_, length);
            pendingAt_ = 0;
            pendingEnd_ = length;
            n += takePending(out + n, count - n);
        }
    }
    store();
    return n;
}

bool TZVQ_LZWDecompressor::ReadRow(TDIBMappedWriter* writer) {
    if (endOfData_) return false;
    const int width = rowWidth_ > 0 ? rowWidth_ : writer->GetWidth();
    if (rowCapacity_ < width) {
        row_ = std::make_unique<std::uint8_t[]>(std::size_t(width) + kSlack);
        rowCapacity_ = width;
    }
    const int got = readIndices(row_.get(), width);
    writer->SetNextIndices(row_.get(), got);
    return got == width;
}

// Leaves the stream after the image's block terminator.
void TZVQ_LZWDecompressor::skipRest() {
    for (;;) {
        window_.ensure(blockLeft_);
        const std::int64_t skip = std::min<std::int64_t>(blockLeft_, window_.available());
        window_.advance(skip);
        blockLeft_ = 0;
        if (!nextSubBlock()) return;
    }
}
