#include "gif/lzw_compressor.h"

#include <algorithm>
#include <cstring>

#include "gif/gif_errors.h"
#include "imaging/pixel_readers.h"
#include "toolkit/streams.h"

namespace {

constexpr std::size_t kOutputChunk = 64 * 1024;

int codeSizeFor(TDIBFormat format) {
    switch (format) {
    case TDIBFormat::dtMonochrome: return 2;
    case TDIBFormat::dt4bit: return 4;
    case TDIBFormat::dt8bit: return 8;
    default:
        throw ELZWError(QStringLiteral("Cannot write an image with more than 256 colours as a GIF"));
    }
}

}  // namespace

TZVQ_LZWCompressor::TZVQ_LZWCompressor(TStream* stream, TDIBFormat format)
    : TZVQ_LZWCommon(stream, codeSizeFor(format)) {
    output_.reserve(kOutputChunk + 512);
    output_.push_back(std::uint8_t(minimumCodeSize_));
}

TZVQ_LZWCompressor::~TZVQ_LZWCompressor() {
    try {
        Finish();
    } catch (...) {
    }
}

void TZVQ_LZWCompressor::resetDictionary() {
    InitDictionary();
    std::fill(std::begin(hashCode_), std::end(hashCode_), std::int16_t(-1));
}

int TZVQ_LZWCompressor::FindChildNode(std::uint16_t prefix, std::uint8_t pixel) const {
    const int start = ((pixel << 4) ^ prefix) & 0xFFFF;
    const int step = start == 0 ? 1 : kHashSize - start;
    int slot = start;
    do {
        if (hashCode_[slot] == -1) return slot;
        if (hashPrefix_[slot] == prefix && hashSuffix_[slot] == pixel) return slot;
        slot = step > slot ? slot + kHashSize - step : slot - step;
    } while (slot != start);
    return kNotFound;
}

void TZVQ_LZWCompressor::WriteBits(std::uint32_t code, int width) {
    bits_ |= std::uint64_t(code) << bitCount_;
    bitCount_ += width;
    while (bitCount_ >= 8) {
        subBlock_[subBlockLength_++] = std::uint8_t(bits_);
        bits_ >>= 8;
        bitCount_ -= 8;
        if (subBlockLength_ == 255) flushSubBlock();
    }
}

void TZVQ_LZWCompressor::flushSubBlock() {
    output_.push_back(std::uint8_t(subBlockLength_));
    output_.insert(output_.end(), subBlock_, subBlock_ + subBlockLength_);
    subBlockLength_ = 0;
    if (output_.size() >= kOutputChunk) flushOutput();
}

void TZVQ_LZWCompressor::flushOutput() {
    if (output_.empty()) return;
    stream_->WriteBuffer(output_.data(), std::int64_t(output_.size()));
    output_.clear();
}

void TZVQ_LZWCompressor::writeIndices(const std::uint8_t* indices, int count) {
    int i = 0;
    if (!started_ && count > 0) {
        resetDictionary();
        WriteBits(clearCode_, codeWidth_);
        currentPrefix_ = indices[i++];
        started_ = true;
    }
    for (; i < count; ++i) {
        const std::uint8_t pixel = indices[i];
        const int slot = FindChildNode(currentPrefix_, pixel);
        if (slot != kNotFound && hashCode_[slot] != -1) {
            currentPrefix_ = std::uint16_t(hashCode_[slot]);
            continue;
        }
        if (slot != kNotFound) {
            hashCode_[slot] = std::int16_t(nextFreeCode_++);
            hashPrefix_[slot] = currentPrefix_;
            hashSuffix_[slot] = pixel;
        }
        WriteBits(currentPrefix_, codeWidth_);
        currentPrefix_ = pixel;
        if (slot == kNotFound || nextFreeCode_ > kMaxCode) {
            WriteBits(clearCode_, codeWidth_);
            resetDictionary();
        } else if (nextFreeCode_ > nextWidthThreshold_) {
            ++codeWidth_;
            nextWidthThreshold_ <<= 1;
        }
    }
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
        if (bitCount_ > 0) {
            subBlock_[subBlockLength_++] = std::uint8_t(bits_);
            bits_ = 0;
            bitCount_ = 0;
        }
        if (subBlockLength_ > 0) flushSubBlock();
        started_ = false;
    }
    // An image without pixels still closes its data with the terminator, so
    // that readers find the next block.
    output_.push_back(0);
    flushOutput();
}
