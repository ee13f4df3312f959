#include "gif/stream_window.h"

#include <algorithm>
#include <cstring>

#include "toolkit/streams.h"

namespace {
constexpr std::int64_t kChunk = 64 * 1024;
}

TStreamWindow::TStreamWindow(TStream* stream) : stream_(stream) {
    if (auto* memory = dynamic_cast<TMemoryStream*>(stream)) {
        direct_ = true;
        const std::int64_t size = memory->Size();
        directBase_ = std::min(memory->Position(), size);
        start_ = static_cast<const std::uint8_t*>(memory->Memory());
        cur_ = start_ + directBase_;
        end_ = start_ + size;
    }
}

bool TStreamWindow::refill() {
    if (direct_) return false;
    const std::int64_t kept = available();
    // Unread bytes to the front first: growing the buffer moves it.
    if (kept > 0) std::memmove(buffer_.data(), cur_, std::size_t(kept));
    if (buffer_.size() < std::size_t(kept + kChunk)) buffer_.resize(std::size_t(kept + kChunk));
    const std::int64_t got = stream_->Read(buffer_.data() + kept, kChunk);
    start_ = buffer_.data();
    cur_ = start_;
    end_ = start_ + kept + std::max<std::int64_t>(got, 0);
    return got > 0;
}

bool TStreamWindow::ensure(std::int64_t count) {
    while (available() < count) {
        if (!refill()) return false;
    }
    return true;
}

void TStreamWindow::release() {
    if (direct_) {
        stream_->SetPosition(cur_ - start_);
    } else if (cur_ != end_) {
        stream_->Seek(-(end_ - cur_), TSeekOrigin::Current);
    }
    // The window no longer speaks for the stream.
    cur_ = end_;
    if (!direct_) buffer_.clear();
}

// --- Sub-blocks --------------------------------------------------------------

namespace {
constexpr int kPiece = 16 * 1024;
}

TSubBlockReader::TSubBlockReader(TStream* stream)
    : window_(stream), buffer_(std::make_unique_for_overwrite<std::uint8_t[]>(kHeadroom + kPiece)) {
    end_ = buffer_.get() + kHeadroom;
}

bool TSubBlockReader::nextSubBlock() {
    if (!window_.ensure(1)) {
        exhausted_ = true;
        return false;
    }
    const int count = *window_.cur();
    window_.advance(1);
    window_.ensure(count);
    // A sub-block cut short by the end of the stream counts for what it has.
    blockLeft_ = int(std::min<std::int64_t>(count, window_.available()));
    if (blockLeft_ == 0) exhausted_ = true;
    return blockLeft_ > 0;
}

// Copies sub-block bytes into `to`, at most `room`; how many were copied.
int TSubBlockReader::append(std::uint8_t* to, int room) {
    int copied = 0;
    while (copied < room && !exhausted_) {
        if (blockLeft_ == 0 && !nextSubBlock()) break;
        const int n = std::min(blockLeft_, room - copied);
        std::memcpy(to + copied, window_.cur(), std::size_t(n));
        window_.advance(n);
        blockLeft_ -= n;
        copied += n;
    }
    return copied;
}

bool TSubBlockReader::fill(const std::uint8_t*& cur) {
    std::uint8_t* start = buffer_.get() + kHeadroom;
    const auto kept = int(end_ - cur);
    std::memmove(start, cur, std::size_t(kept));
    cur = start;
    const int added = append(start + kept, kPiece - kept);
    end_ = start + kept + added;
    return added > 0;
}

void TSubBlockReader::skipRest() {
    if (exhausted_) return;
    for (;;) {
        window_.ensure(blockLeft_);
        window_.advance(std::min<std::int64_t>(blockLeft_, window_.available()));
        blockLeft_ = 0;
        if (!nextSubBlock()) return;
    }
}
