#include "gif/lzw_compressor.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

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

// Shared by every thread: threads that code a few frames each and end
// leave their tables to the next ones, rather than each mapping its own.
struct TZVQ_LZWCompressor::SpareTables {
    static constexpr std::size_t kKept = 16;
    SpareTables() { tables.reserve(kKept); }  // so that giving back cannot fail
    std::mutex lock;
    std::vector<Table> tables;
};

TZVQ_LZWCompressor::SpareTables& TZVQ_LZWCompressor::spareTables() {
    static SpareTables spares;
    return spares;
}

// Fresh zero pages, mapped in one call: a table read before it is written
// would otherwise take two faults a page, the second of which stops every
// other core that runs one of our threads.
TZVQ_LZWCompressor::Table TZVQ_LZWCompressor::takeTable() {
    {
        SpareTables& spares = spareTables();
        const std::lock_guard lock(spares.lock);
        if (!spares.tables.empty()) {
            Table table = std::move(spares.tables.back());
            spares.tables.pop_back();
            return table;
        }
    }
    void* table = mmap(nullptr, kTableBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (table == MAP_FAILED) throw std::bad_alloc();
    return Table(static_cast<std::uint16_t*>(table));
}

// Past kKept, the table is unmapped as it goes.
void TZVQ_LZWCompressor::giveBack(Table table) {
    SpareTables& spares = spareTables();
    const std::lock_guard lock(spares.lock);
    if (spares.tables.size() < SpareTables::kKept) spares.tables.push_back(std::move(table));
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
    full_ = false;
    for (int i = 0; i < filledCount_; ++i) table_[filled_[i]] = 0;
    filledCount_ = 0;
}

// The clear code that begins the data, at the first pixel.
void TZVQ_LZWCompressor::startCodes() {
    resetDictionary();
    WriteBits(clearCode_, codeWidth_);
    clearedAt_ = position_;
    started_ = true;
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
void TZVQ_LZWCompressor::writeIndices(const std::uint8_t* indices, int count) {
    int i = 0;
    if (!started_ && count > 0) {
        startCodes();
        currentPrefix_ = indices[i] & pixelMask();
        ++i;
    }
    while (i < count) i = full_ ? writeWithFullTable(indices, i, count) : writeGrowing(indices, i, count);
    position_ += count;
}

int TZVQ_LZWCompressor::writeGrowing(const std::uint8_t* indices, int i, int count) {
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
        const std::uint8_t pixel = indices[i] & mask;
        const std::uint32_t slot = slotOf(prefix, pixel);
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
            if (deferClear_) {
                full_ = true;
                noteFull(position_ + i++);
                break;
            }
            put(clearCode_);
            filledCount_ = filled;
            resetDictionary();
            filled = 0;
            next = nextFreeCode_;
            width = codeWidth_;
            threshold = nextWidthThreshold_;
        } else if (next > threshold) {
            if (++width == 12) widestAt_ = position_ + i;
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
    return i;
}

// The bits a dictionary takes from its clear until it fills, one code for
// each string it holds.
int TZVQ_LZWCompressor::freshBits() const {
    int bits = codeWidth_, width = minimumCodeSize_ + 1;
    std::uint32_t threshold = 1u << width;
    for (std::uint32_t next = clearCode_ + 2u; next <= std::uint32_t(kMaxCode);) {
        ++next;
        bits += width;
        if (next > threshold) {
            ++width;
            threshold <<= 1;
        }
    }
    return bits;
}

// The dictionary filled as the string at `stringStart` began. The running
// mean of the pixels a code starts from its last 2048 codes, the 12-bit
// ones (codes reach 12 bits at code 2048 for any code size we write).
void TZVQ_LZWCompressor::noteFull(std::int64_t stringStart) {
    freshPixels_ = stringStart - clearedAt_;
    if (freshBits_ == 0) freshBits_ = freshBits();
    recentRun_ = ((stringStart - widestAt_) << kRunFraction) / (kMaxCodes / 2);
    stringStart_ = stringStart;
}

// A code of the full dictionary ended where the string at `stringStart`
// begins. The recent pixels a code, 12 bits, against what the fresh
// dictionary gave a bit over its whole life.
bool TZVQ_LZWCompressor::staleCodeFallsBehind(std::int64_t stringStart) {
    const std::int64_t run = stringStart - stringStart_;
    stringStart_ = stringStart;
    recentRun_ += ((run << kRunFraction) - recentRun_) >> kRunMemory;
    return recentRun_ * freshBits_ * 16 < ((12 * freshPixels_) << kRunFraction) * kFallBehind;
}

void TZVQ_LZWCompressor::clearFullDictionary(std::int64_t stringStart) {
    WriteBits(clearCode_, codeWidth_);
    resetDictionary();
    clearedAt_ = stringStart;
}

// Strings of the full dictionary, none added, until its codes fall behind
// and a clear starts a fresh one.
int TZVQ_LZWCompressor::writeWithFullTable(const std::uint8_t* indices, int i, int count) {
    std::uint32_t prefix = currentPrefix_;
    const std::uint16_t* const table = table_.get();
    const std::uint8_t mask = pixelMask();
    for (; i < count; ++i) {
        const std::uint8_t pixel = indices[i] & mask;
        if (const std::uint16_t code = table[slotOf(prefix, pixel)]) {
            prefix = code;
            continue;
        }
        WriteBits(prefix, codeWidth_);
        prefix = pixel;
        if (staleCodeFallsBehind(position_ + i)) {
            clearFullDictionary(position_ + i);
            currentPrefix_ = pixel;
            return i + 1;
        }
    }
    currentPrefix_ = std::uint16_t(prefix);
    return i;
}

// Every string the dictionary holds for some choice of the pixels from
// `at` on is followed side by side, from the strings in `strands` (a few
// of them: more are seldom alive at once). The entry that `previous` is to
// add, with the pixel its next string starts with, counts as there for the
// strings that start with that pixel. Gives the longest: where it ends,
// and the first of those that end there. Past their first pixel, strings
// that go on with the pixel itself come before those that go on with its
// alternative: of equals, the one that keeps the picture's own pixels
// leaves entries that its other frames and rows meet again.
TZVQ_LZWCompressor::EitherMatch TZVQ_LZWCompressor::longestEither(const std::uint8_t* indices,
                                                                  const std::uint8_t* alternatives, int count,
                                                                  const Strand* strands, int started, int at,
                                                                  std::uint32_t previous) const {
    constexpr int kFollowed = 8;
    Strand alive[kFollowed], grown[2 * kFollowed];
    std::copy(strands, strands + started, alive);
    int matched = started;
    const std::uint16_t* const table = table_.get();
    const std::uint8_t mask = pixelMask();
    const std::uint16_t added = nextFreeCode_;
    const auto child = [&](const Strand& strand, std::uint8_t pixel) -> std::uint16_t {
        const std::uint16_t code = table[slotOf(strand.code, pixel)];
        if (code != 0 || strand.code != previous || pixel != strand.first) return code;
        return added;
    };
    for (; at < count; ++at) {
        const std::uint8_t pixel = indices[at] & mask, alternative = alternatives[at] & mask;
        if (matched == 1) {
            // Most of the time one string alone goes on.
            const std::uint16_t viaPixel = child(alive[0], pixel);
            const std::uint16_t viaAlternative = alternative == pixel ? 0 : child(alive[0], alternative);
            if (viaPixel != 0 && viaAlternative != 0) {
                alive[1] = {viaAlternative, alive[0].first};
                alive[0].code = viaPixel;
                matched = 2;
            } else if (viaPixel != 0 || viaAlternative != 0) {
                alive[0].code = std::uint16_t(viaPixel | viaAlternative);
            } else {
                break;
            }
            continue;
        }
        int n = 0;
        for (int m = 0; m < matched; ++m) {
            if (const std::uint16_t next = child(alive[m], pixel)) grown[n++] = {next, alive[m].first};
            if (alternative != pixel) {
                if (const std::uint16_t next = child(alive[m], alternative)) grown[n++] = {next, alive[m].first};
            }
        }
        if (n == 0) break;
        matched = std::min(n, kFollowed);
        std::copy(grown, grown + matched, alive);
    }
    return {alive[0].code, alive[0].first, at};
}

// Each code is the longest string for any choice of the pixels, the one
// that starts with the alternative first of equals.
void TZVQ_LZWCompressor::writeEitherIndices(const std::uint8_t* indices, const std::uint8_t* alternatives,
                                            int count) {
    if (count <= 0) return;
    const std::uint8_t mask = pixelMask();
    constexpr std::uint32_t kNone = 0xFFFFFFFF;
    // The string at `at`, after `previous` is written; the entry that adds
    // goes into the dictionary.
    const auto stringAt = [&](int at, std::uint32_t previous) {
        const std::uint8_t pixel = indices[at] & mask, alternative = alternatives[at] & mask;
        const Strand roots[2] = {{alternative, alternative}, {pixel, pixel}};
        const int first = alternative == pixel ? 1 : 0;
        const bool adds = previous != kNone && !full_;
        EitherMatch match =
            longestEither(indices, alternatives, count, roots + first, 2 - first, at + 1, adds ? previous : kNone);
        if (previous == kNone) return match;
        const auto freshFrom = [&] {
            const Strand root{match.first, match.first};
            return longestEither(indices, alternatives, count, &root, 1, at + 1, kNone);
        };
        if (full_) {
            if (!staleCodeFallsBehind(position_ + at)) return match;
            clearFullDictionary(position_ + at);
            return freshFrom();
        }
        const std::uint32_t slot = slotOf(previous, match.first);
        table_[slot] = nextFreeCode_;
        filled_[filledCount_++] = slot;
        if (++nextFreeCode_ > kMaxCode) {
            if (deferClear_) {
                full_ = true;
                noteFull(position_ + at);
                return match;
            }
            WriteBits(clearCode_, codeWidth_);
            resetDictionary();
            return freshFrom();
        }
        if (nextFreeCode_ > nextWidthThreshold_) {
            if (++codeWidth_ == 12) widestAt_ = position_ + at;
            nextWidthThreshold_ <<= 1;
        }
        return match;
    };
    EitherMatch match;
    if (!started_) {
        startCodes();
        match = stringAt(0, kNone);
    } else {
        const Strand prefix{currentPrefix_, 0};
        match = longestEither(indices, alternatives, count, &prefix, 1, 0, kNone);
    }
    while (match.end < count) {
        WriteBits(match.code, codeWidth_);
        match = stringAt(match.end, match.code);
    }
    currentPrefix_ = std::uint16_t(match.code);
    position_ += count;
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
