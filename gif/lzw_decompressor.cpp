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

// Eight bytes taken as one little-endian word, and one word given back as
// eight bytes in that order: the bit buffer and the string chunks alike.
std::uint64_t loadLittleEndian64(const std::uint8_t* bytes) {
    std::uint64_t value;
    std::memcpy(&value, bytes, sizeof value);
    if constexpr (std::endian::native == std::endian::big) value = __builtin_bswap64(value);
    return value;
}

void storeLittleEndian64(std::uint8_t* bytes, std::uint64_t value) {
    if constexpr (std::endian::native == std::endian::big) value = __builtin_bswap64(value);
    std::memcpy(bytes, &value, sizeof value);
}

// The output buffer of the last decoder of this thread: an animation's
// frames each make a decoder, and most are small.
thread_local std::unique_ptr<std::uint8_t[]> spareOutput;

}  // namespace

std::unique_ptr<std::uint8_t[]> TZVQ_LZWDecompressor::takeOutputBuffer() {
    if (spareOutput) return std::move(spareOutput);
    return std::make_unique_for_overwrite<std::uint8_t[]>(kOutputSize);
}

TZVQ_LZWDecompressor::TZVQ_LZWDecompressor(TStream* stream)
    : TZVQ_LZWCommon(stream, readCodeSizeByte(stream)),
      input_(stream),
      in_(input_.end()),
      output_(takeOutputBuffer()) {
    for (int code = 0; code < clearCode_; ++code) setLiteral(code, std::uint8_t(code));
    if (endCode_ < kMaxCodes) {
        entries_[clearCode_].link = kNoString << 16;
        entries_[endCode_].link = kNoString << 16;
    }
}

TZVQ_LZWDecompressor::~TZVQ_LZWDecompressor() {
    spareOutput = std::move(output_);
    try {
        input_.skipRest();
        input_.release();
    } catch (...) {
        // A stream that fails while the rest is skipped leaves the next read
        // to report it.
    }
}

void TZVQ_LZWDecompressor::setLiteral(int slot, std::uint8_t value) {
    Entry& entry = entries_[slot];
    entry.suffix = value;
    entry.link = 0;
}

// --- Bits ------------------------------------------------------------------

// Tops the bit buffer up to at least 56 bits while data is left. Eight bytes
// at a time while the current sub-block has them; bits above the count are
// the next bytes' own, so taking those bytes again later changes nothing.
// Near a block's end the bytes come one by one across the count byte, so
// that past the data only zero bits follow.
void TZVQ_LZWDecompressor::refill() {
    if (input_.end() - in_ >= 8) {
        bits_ |= loadLittleEndian64(in_) << bitCount_;
        in_ += (63 - bitCount_) >> 3;
        bitCount_ |= 56;
        return;
    }
    while (bitCount_ <= 56) {
        if (in_ == input_.end() && !input_.nextBlock(in_)) return;
        bits_ |= std::uint64_t(*in_++) << bitCount_;
        bitCount_ += 8;
    }
}

// The last code of the data may be short of bits: it is taken zero-padded.
// With no bit left at all the stream ended too early.
std::uint32_t TZVQ_LZWDecompressor::finalCode(int width) {
    if (bitCount_ == 0) throwEndOfInput();
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

// Writes the string back to front, a chunk at a time, and returns its first
// byte. The last chunk is copied whole, so up to seven bytes after the
// string are overwritten: the output buffer has that much room beyond.
[[gnu::always_inline]] inline std::uint8_t TZVQ_LZWDecompressor::copyString(std::uint32_t code,
                                                                            std::uint8_t* out,
                                                                            int length) const {
    std::uint8_t* at = out + length - (((length - 1) & 7) + 1);
    std::uint64_t chunk = entries_[code].suffix;
    storeLittleEndian64(at, chunk);
    while (at > out) {
        code = entries_[code].prefix();
        at -= 8;
        chunk = entries_[code].suffix;
        storeLittleEndian64(at, chunk);
    }
    return std::uint8_t(chunk);
}

// Writes the string of a code that is no literal; `first` gets its first
// byte. The code being made stands for the previous string followed by that
// string's own first byte.
[[gnu::always_inline]] inline std::uint8_t* TZVQ_LZWDecompressor::writeString(
    std::uint32_t code, std::uint32_t previous, std::uint32_t nextFree, std::uint8_t* at,
    std::uint8_t& first) const {
    const bool beingMade = code == nextFree;
    const std::uint32_t from = beingMade ? previous : code;
    const int length = int(entries_[from].lengthLess1()) + 1;
    first = copyString(from, at, length);
    at += length;
    if (beingMade) *at++ = first;
    return at;
}

// Makes the string of the next free code: the previous code's string and
// `last`, the first byte of the string just written. Grows the width when
// the next free code reaches 1 << width. A full dictionary takes no new
// strings: later codes keep using it.
[[gnu::always_inline]] inline void TZVQ_LZWDecompressor::addString(std::uint32_t previous,
                                                                   std::uint8_t last,
                                                                   std::uint32_t& nextFree,
                                                                   int& width) {
    if (nextFree >= kMaxCodes) return;
    entries_[nextFree] = entries_[previous].followedBy(last, previous);
    ++nextFree;
    if ((nextFree >> width) == 0 || nextFree >= kMaxCode) [[likely]]
        return;
    ++width;
}

// The first code after a clear code stands for itself: only its low eight
// bits are written. One that is no literal gets a string of its own, so that
// no entry of an earlier dictionary is ever followed.
std::uint8_t* TZVQ_LZWDecompressor::startString(std::uint8_t* at) {
    while (!started_) {
        InitDictionary();
        const std::uint32_t code = readCode(codeWidth_);
        if (code == endCode_) {
            endOfData_ = true;
            break;
        }
        if (code == clearCode_) continue;
        if (code < clearCode_) {
            previousCode_ = std::uint16_t(code);
        } else {
            setLiteral(kScratch, std::uint8_t(code));
            previousCode_ = kScratch;
        }
        *at++ = std::uint8_t(code);
        started_ = true;
    }
    return at;
}

// The common codes, until `target` is reached: it stops, leaving the code
// where it is, before a clear, end or undefined code, and where the data
// no longer holds four codes. Literals and strings of up to eight bytes
// take one path without a branch between them: each is one chunk stored
// whole.
std::uint8_t* TZVQ_LZWDecompressor::decodeRun(std::uint8_t* at, const std::uint8_t* target) {
    // Codes of 13 bits, with a minimum code size of 12, are left to the
    // careful path: here every code below the next free one has an entry.
    if (codeWidth_ > 12) return at;
    if (nextFreeCode_ < kMaxCodes) at = decodeRunWith<false>(at, target);
    if (nextFreeCode_ == kMaxCodes && at < target) at = decodeRunWith<true>(at, target);
    return at;
}

// Full: the dictionary takes no more strings, and every code of 12 bits
// has one. Otherwise it stops once the dictionary fills; the codes after
// the one that filled it in the same group of four are as good as those of
// a full dictionary, and the strings made after them are dropped.
template <bool Full>
std::uint8_t* TZVQ_LZWDecompressor::decodeRunWith(std::uint8_t* at, const std::uint8_t* target) {
    const std::uint8_t* in = in_;
    const std::uint8_t* inEnd = input_.end();
    std::uint64_t bits = bits_;
    int bitCount = bitCount_;
    int width = codeWidth_;
    std::uint64_t mask = (std::uint64_t(1) << width) - 1;
    std::uint32_t nextFree = nextFreeCode_;
    std::uint32_t previous = previousCode_;
    // The previous code's entry, kept at hand for the string made after it.
    Entry before = entries_[previous];
    bool full = false;
    const auto make = [&](std::uint8_t first) {
        const Entry made = before.followedBy(first, previous);
        entries_[nextFree] = made;
        ++nextFree;
        if ((nextFree & (nextFree - 1)) == 0) [[unlikely]] {
            // A power of two: the width grows, up to 12 bits.
            if (width < 12) {
                ++width;
                mask = (std::uint64_t(1) << width) - 1;
            } else {
                full = true;
            }
        }
        return made;
    };
    // One code from the bits held; false, with nothing taken, for a clear,
    // end or undefined code.
    const auto step = [&] {
        const auto code = std::uint32_t(bits & mask);
        const int codeWidth = width;  // the string made may widen the next code
        Entry current;
        if (Full || code < nextFree) [[likely]] {
            current = entries_[code];
            const unsigned lengthLess1 = current.lengthLess1();
            std::uint8_t first;
            if (lengthLess1 < 8) [[likely]] {
                storeLittleEndian64(at, current.suffix);
                first = std::uint8_t(current.suffix);
            } else {
                if (lengthLess1 == kNoString) return false;
                first = copyString(code, at, int(lengthLess1) + 1);
            }
            at += lengthLess1 + 1;
            if (!Full) make(first);
        } else if (code == nextFree) {
            // The code being made: the previous string and its own first byte.
            const int length = int(before.lengthLess1()) + 1;
            const std::uint8_t first = copyString(previous, at, length);
            at[length] = first;
            at += length + 1;
            current = make(first);
        } else {
            return false;
        }
        bits >>= codeWidth;
        bitCount -= codeWidth;
        previous = code;
        before = current;
        return true;
    };
    // Four codes take at most 4 * 12 bits.
    constexpr int kBitsPerCheck = kCodesPerCheck * 12;
    while (at < target) {
        if (inEnd - in >= 8) [[likely]] {
            bits |= loadLittleEndian64(in) << bitCount;
            in += (63 - bitCount) >> 3;
            bitCount |= 56;
        } else {
            // Across the end of a sub-block.
            in_ = in;
            bits_ = bits;
            bitCount_ = bitCount;
            refill();
            in = in_;
            inEnd = input_.end();
            bits = bits_;
            bitCount = bitCount_;
            if (bitCount < kBitsPerCheck) break;
        }
        const bool going = step() && step() && step() && step();
        if (!Full && full) {
            nextFree = kMaxCodes;
            break;
        }
        if (!going) break;
    }
    in_ = in;
    bits_ = bits;
    bitCount_ = bitCount;
    codeWidth_ = width;
    nextFreeCode_ = std::uint16_t(nextFree);
    previousCode_ = std::uint16_t(previous);
    return at;
}

// One code, whatever it is: the end of the data or of the dictionary, and
// faults.
std::uint8_t* TZVQ_LZWDecompressor::decodeCode(std::uint8_t* at) {
    const std::uint32_t code = readCode(codeWidth_);
    if (code == clearCode_ || code == endCode_) {
        started_ = false;
        endOfData_ = code == endCode_;
        return at;
    }
    if (code > nextFreeCode_ || code >= kMaxCodes) {
        throw EGIFError(QStringLiteral("Undefined symbol in LZW stream"));
    }
    std::uint32_t nextFree = nextFreeCode_;
    std::uint8_t last;
    if (code < clearCode_) {
        *at++ = std::uint8_t(code);
        last = std::uint8_t(code);
    } else {
        at = writeString(code, previousCode_, nextFree, at, last);
    }
    addString(previousCode_, last, nextFree, codeWidth_);
    nextFreeCode_ = std::uint16_t(nextFree);
    previousCode_ = std::uint16_t(code);
    return at;
}

// Decodes into the empty output buffer until it holds `count` indices (or
// a piece of them), or the data ends.
void TZVQ_LZWDecompressor::decodeAtLeast(int count) {
    std::uint8_t* const start = output_.get();
    const std::int64_t wanted = std::max<std::int64_t>(count, expected_);
    const std::uint8_t* const target = start + std::min<std::int64_t>(wanted, kPiece);
    std::uint8_t* at = start;
    while (at < target && !endOfData_) {
        if (!started_) {
            at = startString(at);
            continue;
        }
        at = decodeRun(at, target);
        if (at < target) at = decodeCode(at);
    }
    outAt_ = 0;
    outEnd_ = int(at - start);
}

// Hands out up to `count` indices in runs, decoding as they are needed.
template <typename Sink>
int TZVQ_LZWDecompressor::drain(int count, Sink sink) {
    int n = 0;
    while (n < count) {
        if (outAt_ == outEnd_) {
            if (endOfData_) break;
            decodeAtLeast(count - n);
            continue;
        }
        const int run = std::min(count - n, outEnd_ - outAt_);
        sink(output_.get() + outAt_, run);
        outAt_ += run;
        n += run;
        expected_ -= run;
    }
    return n;
}

int TZVQ_LZWDecompressor::readIndices(std::uint8_t* out, int count) {
    return drain(count, [&out](const std::uint8_t* run, int length) {
        std::memcpy(out, run, std::size_t(length));
        out += length;
    });
}

bool TZVQ_LZWDecompressor::ReadRow(TDIBMappedWriter* writer) {
    if (endOfData_) return false;
    const int width = rowWidth_ > 0 ? rowWidth_ : writer->GetWidth();
    const int got = drain(width, [writer](const std::uint8_t* run, int length) {
        writer->SetNextIndices(run, length);
    });
    return got == width;
}
