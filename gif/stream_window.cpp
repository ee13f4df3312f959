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

TSubBlockReader::TSubBlockReader(TStream* stream) : window_(stream), end_(window_.cur()) {}

// The window's position stays at the start of the current sub-block's
// data until the block is done with.
bool TSubBlockReader::nextBlock(const std::uint8_t*& cur) {
    window_.advance(end_ - window_.cur());
    std::int64_t length = 0;
    if (!exhausted_ && window_.ensure(1)) {
        const int count = *window_.cur();
        window_.advance(1);
        window_.ensure(count);
        // A sub-block cut short by the end of the stream counts for what it has.
        length = std::min<std::int64_t>(count, window_.available());
    }
    // Taken after the window has moved its bytes, if it did.
    cur = window_.cur();
    end_ = cur + length;
    if (length == 0) exhausted_ = true;
    return length > 0;
}

void TSubBlockReader::skipRest() {
    const std::uint8_t* cur = end_;
    while (nextBlock(cur)) {
    }
}
