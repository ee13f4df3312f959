#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class TStream;

// Unread bytes of a stream, seen through a window: a memory stream's own
// block (no copy at all), or large chunks read from any other stream. The
// stream is left after the bytes consumed when the window is released.
class TStreamWindow {
public:
    explicit TStreamWindow(TStream* stream);
    TStreamWindow(const TStreamWindow&) = delete;
    TStreamWindow& operator=(const TStreamWindow&) = delete;

    const std::uint8_t* cur() const { return cur_; }
    const std::uint8_t* end() const { return end_; }
    std::int64_t available() const { return end_ - cur_; }
    void advance(std::int64_t count) { cur_ += count; }
    // Brings more of the stream into the window, keeping the unread bytes;
    // false when the stream has nothing more.
    bool refill();
    // At least `count` bytes in the window, when the stream has them.
    bool ensure(std::int64_t count);
    // Puts the stream's position just after the consumed bytes.
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

// The data sub-blocks of one image joined into one run of bytes, a large
// piece at a time, so that readers of the data never meet a count byte.
// The buffer starts eight bytes before the bytes held, so that end() - 8
// always points into it.
class TSubBlockReader {
public:
    static constexpr int kHeadroom = 8;

    explicit TSubBlockReader(TStream* stream);

    const std::uint8_t* end() const { return end_; }
    // Moves the bytes from `cur` on to the front and appends the next
    // piece of the data; `cur` is updated. False when nothing was added:
    // the data has ended.
    bool fill(const std::uint8_t*& cur);
    // The terminator was met, or the stream ended inside the data.
    bool exhausted() const { return exhausted_; }
    // Leaves the stream after the image's block terminator.
    void skipRest();
    // Puts the stream's position after the sub-blocks taken so far.
    void release() { window_.release(); }

private:
    bool nextSubBlock();
    int append(std::uint8_t* to, int room);

    TStreamWindow window_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    const std::uint8_t* end_ = nullptr;
    int blockLeft_ = 0;
    bool exhausted_ = false;
};
