#pragma once

#include <QByteArray>
#include <QRect>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "gif/gif_types.h"

/// @file
/// What the frame optimiser keeps of each frame between finding its
/// rectangle and writing it, and the steps that turn it into image data.

/// One way a frame was coded.
struct TFrameCoding {
    /// The LZW data with its code size byte, sub-blocks and terminator.
    QByteArray data;
    /// The transparent index (-1: none).
    int transparentIndex = -1;
    /// Its own colour table (empty: the global one).
    std::vector<std::uint32_t> localTable;
    /// The bytes it costs: its data and its table.
    std::int64_t cost = 0;
};

/// One frame of TGIFFrameOptimizer on its way to the stream.
struct TOptimizedFrame {
    /// An id of a pixel that must be transparent.
    static constexpr std::uint16_t kClear = 0xFFFF;

    /// The rectangle written, on the screen.
    QRect rect;
    /// Delay, disposal and user input of the frame (its origin is rect's).
    TGIFGraphicControlInfo info;
    /// Comments written before the frame.
    std::vector<QByteArray> comments;
    /// Set for a background disposal: the frame declares a transparent index
    /// even if none of its pixels needs it.
    bool declaresTransparency = false;

    /// The rectangle's pixels, rows top-down: a colour (0xFFRRGGBB), or 0
    /// where the screen is to be transparent.
    std::vector<std::uint32_t> pixels;
    /// A bit a pixel (packMarks), set where the pixel already shows, so
    /// that it may be coded transparent as well; let go once its colours
    /// are collected where none may be (unchangedMayTurnTransparent). Held
    /// for every frame until the stream is written: a byte a pixel would
    /// take eight times the memory.
    std::vector<std::uint64_t> unchanged;

    /// Its colours: those it must draw, then those only its unchanged pixels
    /// have.
    std::vector<std::uint32_t> colours;
    /// How many of `colours` come first as the ones it must draw.
    int requiredColours = 0;
    /// Each pixel as its colour's place in `colours`, or kClear: in eight
    /// bits (kClear as kNarrowClear) when they fit, which is most often,
    /// else in sixteen.
    std::vector<std::uint8_t> narrowIds;
    /// See narrowIds.
    std::vector<std::uint16_t> ids;
    /// kClear in narrowIds.
    static constexpr std::uint8_t kNarrowClear = 0xFF;
    /// How many runs of one id the pixels make, row after row.
    std::int64_t runs = 0;
    /// How many pixels already show.
    std::size_t unchangedCount = 0;
    /// Whether any pixel must be transparent.
    bool hasClear = false;
    /// Its best coding with a table of its own, when made ahead of the
    /// others (codeWithOwnTable).
    std::optional<TFrameCoding> ownCoding;

    /// The coding written (codeFrame).
    TFrameCoding coded;

    /// Calls visit(ids, clear) with the ids as they are held, eight or
    /// sixteen bits each, and the value kClear has among them (-1 where no
    /// pixel is clear and all 256 values of a byte are colours).
    template <typename Visit>
    decltype(auto) withIds(Visit&& visit) const {
        if (ids.empty()) return visit(narrowIds.data(), hasClear ? int(kNarrowClear) : -1);
        return visit(ids.data(), int(kClear));
    }
    /// How many pixels the ids hold.
    std::size_t idCount() const { return ids.empty() ? narrowIds.size() : ids.size(); }
};

/// Empties @p vector and hands its memory back, which assigning {} to it
/// would not.
template <typename T>
void releaseBuffer(std::vector<T>& vector) {
    std::vector<T>().swap(vector);
}

/// Buffers of frames up to this many pixels stay with the thread that used
/// them.
constexpr std::size_t kKeptBufferPixels = std::size_t(4) << 20;

/// @p buffer, a thread's own, made at least @p count long and kept from one
/// frame to the next, so that its pages are touched once; one that a very
/// large frame grew is let go first.
template <typename T>
T* keptBuffer(std::vector<T>& buffer, std::size_t count) {
    if (buffer.size() > kKeptBufferPixels) releaseBuffer(buffer);
    buffer.resize(std::max(buffer.size(), count));
    return buffer.data();
}

/// @p count marks of 0 or 1, a bit each, 64 to a word, the first in a
/// word's lowest bit.
inline void packMarks(const std::uint8_t* marks, std::size_t count, std::vector<std::uint64_t>& words) {
    words.assign((count + 63) / 64, 0);
    // A multiply gathers the low bits of eight bytes into the top byte.
    constexpr std::uint64_t kGather = 0x0102040810204080;
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        std::uint64_t eight;
        std::memcpy(&eight, marks + i, 8);
        words[i / 64] |= ((eight * kGather) >> 56) << (i % 64);
    }
    for (; i < count; ++i) words[i / 64] |= std::uint64_t(marks[i]) << (i % 64);
}

/// Whether pixel @p i is marked in words packMarks made.
inline bool isMarked(const std::uint64_t* words, std::size_t i) { return (words[i / 64] >> (i % 64)) & 1; }

/// The global colour table. It has no transparent entry: each frame takes
/// as its transparent index one that it does not draw with.
struct TGlobalTable {
    /// Entries as 0xFFRRGGBB.
    std::vector<std::uint32_t> colours;
};

/// Lists the frame's colours and ids from its pixels. A frame whose
/// changed pixels have more than 256 colours raises EGIFError.
void collectColours(TOptimizedFrame& frame);
/// The table the frames share: every colour when all fit, else those most
/// frames use; ordered by how many frames use them, and the colours of
/// frames of few colours gathered below a half, a quarter, ... of the
/// table, so that those frames get small indices and a small code size.
TGlobalTable chooseGlobalTable(const std::vector<TOptimizedFrame*>& frames);
/// Whether the frame's codings may make its unchanged pixels transparent
/// where they need not be: where it draws fewer than 256 colours, in small
/// frames wherever some are, in large ones where they are at least half of
/// it.
bool unchangedMayTurnTransparent(const TOptimizedFrame& frame);
/// Codes the frame with the global table and with a table of its own, each
/// with its unchanged pixels in their colours and free to be transparent,
/// and keeps the smallest; frees its ids and what it kept for coding.
void codeFrame(TOptimizedFrame& frame, const TGlobalTable& global);
/// The codings with a table of the frame's own, made before the global table
/// is known, for codeFrame to use; the bytes codeFrame keeps are the same.
/// For frames that will most likely not fit the global table.
void codeWithOwnTable(TOptimizedFrame& frame);
