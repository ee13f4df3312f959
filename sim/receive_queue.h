#pragma once

// The interface's receive buffer: bytes from the tester, each visible to the
// station only from the moment it has arrived.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>

namespace ftsim {

using Clock = std::chrono::steady_clock;

class ReceiveQueue {
public:
    // Bytes keep their order on the wire: none arrives before the one
    // queued ahead of it.
    void push(std::uint8_t byte, Clock::time_point arrival) {
        if (!bytes_.empty()) arrival = std::max(arrival, bytes_.back().arrival);
        bytes_.push_back({byte, arrival});
    }

    std::size_t arrived(Clock::time_point now) const {
        std::size_t n = 0;
        while (n < bytes_.size() && bytes_[n].arrival <= now) ++n;
        return n;
    }

    // When the byte at `index` arrives; nothing when it is not on its way.
    std::optional<Clock::time_point> arrivalOf(std::size_t index) const {
        if (index >= bytes_.size()) return std::nullopt;
        return bytes_[index].arrival;
    }

    std::size_t take(std::uint8_t* out, std::size_t count) {
        count = std::min(count, bytes_.size());
        for (std::size_t i = 0; i < count; ++i) out[i] = bytes_[i].byte;
        bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(count));
        return count;
    }

    void clear() { bytes_.clear(); }

private:
    struct Entry {
        std::uint8_t byte;
        Clock::time_point arrival;
    };
    std::deque<Entry> bytes_;
};

}  // namespace ftsim
