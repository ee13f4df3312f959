#pragma once

#include <QByteArray>
#include <algorithm>
#include <cstdint>
#include <vector>

#include "toolkit/streams.h"

// Hand-made code streams and GIF files, so that tests say exactly which
// codes, widths and blocks a file holds.

// Packs codes least significant bit first, tracking the code width the way
// a reader does: the width grows when the next free code reaches 2^width
// (up to 12 bits), a clear code starts over, and the first code after a
// clear code makes no entry.
class CodeWriter {
public:
    explicit CodeWriter(int minimumCodeSize)
        : minimum_(minimumCodeSize), clear_(1 << minimumCodeSize) {
        restart();
    }
    int clearCode() const { return clear_; }
    int endCode() const { return clear_ + 1; }
    int width() const { return width_; }
    int nextFree() const { return nextFree_; }

    void put(int code) {
        putBits(code, width_);
        if (code == clear_) {
            restart();
            return;
        }
        if (code == clear_ + 1) return;
        if (!afterClear_ && nextFree_ < 4096) {
            ++nextFree_;
            if (nextFree_ >= (1 << width_) && nextFree_ < 4095) ++width_;
        }
        afterClear_ = false;
    }
    void putBits(int code, int width) {
        for (int i = 0; i < width; ++i) {
            if (bitCount_ % 8 == 0) bytes_.push_back(0);
            if (code & (1 << i)) bytes_.back() |= std::uint8_t(1 << (bitCount_ % 8));
            ++bitCount_;
        }
    }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

    // The code-size byte, the packed codes in sub-blocks of `blockSize`
    // bytes, and the terminator.
    QByteArray imageData(int blockSize = 255, bool terminator = true) const {
        QByteArray out;
        out.append(char(minimum_));
        for (std::size_t at = 0; at < bytes_.size(); at += std::size_t(blockSize)) {
            const std::size_t n = std::min(bytes_.size() - at, std::size_t(blockSize));
            out.append(char(n));
            out.append(reinterpret_cast<const char*>(bytes_.data() + at), qsizetype(n));
        }
        if (terminator) out.append(char(0));
        return out;
    }

private:
    void restart() {
        width_ = std::max(minimum_, 2) + 1;
        nextFree_ = clear_ + 2;
        afterClear_ = true;
    }
    int minimum_;
    int clear_;
    int width_ = 0;
    int nextFree_ = 0;
    bool afterClear_ = true;
    int bitCount_ = 0;
    std::vector<std::uint8_t> bytes_;
};

inline void putWord(QByteArray& out, int value) {
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}

// Header and logical screen descriptor; `tableBits` 0 for no global table,
// else a table of 2^tableBits entries (entry i = (i, 2i, 255 - i)).
inline QByteArray gifHeader(int width, int height, int tableBits, const char* version = "GIF89a",
                            int background = 0, int aspect = 0) {
    QByteArray out(version);
    putWord(out, width);
    putWord(out, height);
    out.append(char(tableBits ? 0x80 | (tableBits - 1) : 0));
    out.append(char(background));
    out.append(char(aspect));
    for (int i = 0; i < (tableBits ? 1 << tableBits : 0); ++i) {
        out.append(char(i));
        out.append(char(2 * i));
        out.append(char(255 - i));
    }
    return out;
}

inline QByteArray graphicControl(int disposal, bool userInput, bool transparent, int delay, int index) {
    QByteArray out("\x21\xF9\x04", 3);
    out.append(char(disposal << 2 | (userInput ? 2 : 0) | (transparent ? 1 : 0)));
    putWord(out, delay);
    out.append(char(index));
    out.append(char(0));
    return out;
}

// An image descriptor; a local table of 2^localBits entries (entry i =
// (255 - i, i, 0)) when localBits is set.
inline QByteArray imageDescriptor(int left, int top, int width, int height, int localBits = 0,
                                  bool interlaced = false) {
    QByteArray out(",");
    putWord(out, left);
    putWord(out, top);
    putWord(out, width);
    putWord(out, height);
    out.append(char((localBits ? 0x80 | (localBits - 1) : 0) | (interlaced ? 0x40 : 0)));
    for (int i = 0; i < (localBits ? 1 << localBits : 0); ++i) {
        out.append(char(255 - i));
        out.append(char(i));
        out.append(char(0));
    }
    return out;
}

// Literal codes only, a clear code first and the end code last: a plain
// picture of the given indices.
inline QByteArray literalImageData(const std::vector<int>& indices, int minimumCodeSize) {
    CodeWriter codes(minimumCodeSize);
    codes.put(codes.clearCode());
    for (int index : indices) {
        if (codes.nextFree() >= 4094) codes.put(codes.clearCode());
        codes.put(index);
    }
    codes.put(codes.endCode());
    return codes.imageData();
}

// The same file with the data sub-blocks of every image cut anew into
// blocks of `blockSize` bytes (the last one shorter); everything else is
// copied as it is. The file must be whole.
inline QByteArray resplitImageData(const QByteArray& gif, int blockSize) {
    const auto byteAt = [&](qsizetype at) { return std::uint8_t(gif[at]); };
    const auto tableBytes = [&](std::uint8_t packed) {
        return packed & 0x80 ? 3 << ((packed & 7) + 1) : 0;
    };
    // Passes over sub-blocks up to and with the terminator; returns their
    // joined data.
    const auto takeBlocks = [&](qsizetype& at) {
        QByteArray data;
        for (int n; (n = byteAt(at)) != 0; at += n + 1) data.append(gif.mid(at + 1, n));
        ++at;
        return data;
    };
    qsizetype at = 13 + tableBytes(byteAt(10));
    QByteArray out = gif.left(at);
    while (at < gif.size() && byteAt(at) != 0x3B) {
        if (byteAt(at) == 0x21) {
            const qsizetype start = at;
            at += 2;
            takeBlocks(at);
            out.append(gif.mid(start, at - start));
            continue;
        }
        const qsizetype start = at;
        at += 10 + tableBytes(byteAt(at + 9)) + 1;  // descriptor, table, code size
        out.append(gif.mid(start, at - start));
        const QByteArray data = takeBlocks(at);
        for (qsizetype from = 0; from < data.size(); from += blockSize) {
            const QByteArray block = data.mid(from, blockSize);
            out.append(char(block.size()));
            out.append(block);
        }
        out.append(char(0));
    }
    out.append(gif.mid(at));
    return out;
}

// A stream that is no memory stream and hands out at most `chunk` bytes
// per read, as a pipe or a slow device may.
class TrickleStream : public TStream {
public:
    TrickleStream(QByteArray bytes, int chunk) : memory_(std::move(bytes)), chunk_(chunk) {}
    std::int64_t Read(void* buffer, std::int64_t count) override {
        return memory_.Read(buffer, std::min<std::int64_t>(count, chunk_));
    }
    std::int64_t Write(const void* buffer, std::int64_t count) override { return memory_.Write(buffer, count); }
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override { return memory_.Seek(offset, origin); }
    std::int64_t Size() override { return memory_.Size(); }
    void SetSize(std::int64_t size) override { memory_.SetSize(size); }

private:
    TMemoryStream memory_;
    int chunk_;
};
