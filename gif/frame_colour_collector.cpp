#include "gif/frame_colour_collector.h"

#include "gif/optimized_frame.h"

// Room is made first, so that handing a frame over or keeping its buffer
// cannot fail later.
TFrameColourCollector::TFrameColourCollector(bool ownThread) {
    waiting_.reserve(kWaiting);
    spare_.reserve(kWaiting + 4);
    if (ownThread) worker_ = std::thread([this] { run(); });
}

TFrameColourCollector::~TFrameColourCollector() {
    if (!worker_.joinable()) return;
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

std::vector<std::uint32_t> TFrameColourCollector::buffer(std::size_t size) {
    std::vector<std::uint32_t> pixels;
    {
        const std::lock_guard lock(mutex_);
        if (!spare_.empty()) {
            pixels = std::move(spare_.back());
            spare_.pop_back();
        }
    }
    pixels.resize(size);
    return pixels;
}

void TFrameColourCollector::add(TOptimizedFrame* frame) {
    if (!worker_.joinable() || frame->pixels.size() < kHandedOver) {
        collect(frame, false);
        return;
    }
    std::unique_lock lock(mutex_);
    if (waiting_.size() >= kWaiting) {
        // Behind: the caller's thread takes this one rather than wait.
        lock.unlock();
        collect(frame, true);
        return;
    }
    waiting_.push_back(frame);
    changed_.notify_all();
}

void TFrameColourCollector::finish() {
    std::unique_lock lock(mutex_);
    // The caller's thread takes the frames still waiting rather than wait
    // for them.
    while (!waiting_.empty()) {
        TOptimizedFrame* frame = waiting_.front();
        waiting_.erase(waiting_.begin());
        lock.unlock();
        collect(frame, true);
        lock.lock();
    }
    changed_.wait(lock, [&] { return waiting_.empty() && !collecting_; });
    if (failure_) std::rethrow_exception(failure_);
}

void TFrameColourCollector::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stopping_ || !waiting_.empty(); });
        if (stopping_) return;
        TOptimizedFrame* frame = waiting_.front();
        waiting_.erase(waiting_.begin());
        collecting_ = true;
        changed_.notify_all();
        lock.unlock();
        collect(frame, true);
        lock.lock();
        collecting_ = false;
        changed_.notify_all();
    }
}

// Once a frame has failed, the stream cannot be written: the frames after
// it are not collected.
void TFrameColourCollector::collect(TOptimizedFrame* frame, bool mayCodeAhead) {
    std::exception_ptr failure;
    {
        const std::lock_guard lock(mutex_);
        failure = failure_;
    }
    if (!failure) {
        try {
            collectColours(*frame);
            if (outgrowsTable(*frame) && mayCodeAhead) codeWithOwnTable(*frame);
        } catch (...) {
            failure = std::current_exception();
        }
    }
    const std::lock_guard lock(mutex_);
    if (!failure_) failure_ = failure;
    // Past the room made, more than are ever out at once, a buffer is let go.
    if (spare_.size() < spare_.capacity()) spare_.push_back(std::move(frame->pixels));
    releaseBuffer(frame->pixels);
}

// Whether the frames so far draw more colours than a table holds, and this
// one draws more than half a table: the global table will most likely lack
// some of them.
bool TFrameColourCollector::outgrowsTable(const TOptimizedFrame& frame) {
    const std::lock_guard lock(mutex_);
    for (int id = 0; id < frame.requiredColours && !outgrown_; ++id) {
        drawn_.insert(frame.colours[std::size_t(id)], 0);
        outgrown_ = drawn_.size() > 256;
    }
    return outgrown_ && frame.requiredColours > 128;
}
