#pragma once

#include <cstdint>
#include <vector>

class TStream;

/// @file
/// Windows onto a stream's unread bytes, and the image data sub-blocks seen
/// through one.

/// Unread bytes of a stream, seen through a window: a memory stream's own
/// block (no copy at all), or large chunks read from any other stream. The
/// stream is left after the bytes consumed when the window is released.
class TStreamWindow {
public:
    /// A window onto @p stream (borrowed) from its position; a memory
    /// stream's bytes are all in view at once, others come by refill.
    explicit TStreamWindow(TStream* stream);
    TStreamWindow(const TStreamWindow&) = delete;
    TStreamWindow& operator=(const TStreamWindow&) = delete;

    ///@{
    /// The unread bytes in view, [cur(), end()); valid until the next refill.
    const std::uint8_t* cur() const { return cur_; }
    const std::uint8_t* end() const { return end_; }
    ///@}
    /// The unread bytes in view.
    std::int64_t available() const { return end_ - cur_; }
    /// Consumes @p count bytes in view (at most available()).
    void advance(std::int64_t count) { cur_ += count; }
    /// Brings more of the stream into the window, keeping the unread bytes;
    /// false when the stream has nothing more.
    bool refill();
    /// At least `count` bytes in the window, when the stream has them.
    bool ensure(std::int64_t count);
    /// Puts the stream's position just after the consumed bytes.
    void release();

private:
    TStream* stream_;
    bool direct_ = false;
    std::int64_t directBase_ = 0;
    const std::uint8_t* start_ = nullptr;
    const std::uint8_t* cur_ = nullptr;
    const std::uint8_t* end_ = nullptr;
    std::vector<std::uint8_t> buffer_;
};

/// The data sub-blocks of one image, seen in place one block at a time (a
/// whole block is always in the window), so that their bytes are never
/// copied: the reader takes [cur, end()) and asks for the next block when it
/// reaches end().
class TSubBlockReader {
public:
    /// The sub-blocks from the stream's position (its first count byte);
    /// no block is current until nextBlock.
    explicit TSubBlockReader(TStream* stream);

    /// The end of the current block's data.
    const std::uint8_t* end() const { return end_; }
    /// Leaves the current block and points `cur` at the next one's data.
    /// False, with nothing to read, when the data has ended. A block cut
    /// short by the end of the stream counts for what it has.
    bool nextBlock(const std::uint8_t*& cur);
    /// The terminator was met, or the stream ended inside the data.
    bool exhausted() const { return exhausted_; }
    /// Leaves the stream after the image's block terminator.
    void skipRest();
    /// Puts the stream's position at the current block's data, or after the
    /// terminator once skipRest() has run.
    void release() { window_.release(); }

private:
    TStreamWindow window_;
    const std::uint8_t* end_;
    bool exhausted_ = false;
};
