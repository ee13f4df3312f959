#pragma once

#include <cstdint>
#include <vector>

/// @file
/// A map of colours to small numbers for the frame optimiser's pixel loops.

/// Colours (non-zero 32-bit words) to small numbers: open addressing that
/// doubles when half full, with the last colour looked up remembered, since
/// neighbours often share one.
class TColourIndexMap {
public:
    /// What find() gives for a colour not in the map.
    static constexpr std::uint32_t kMissing = 0xFFFFFFFF;

    TColourIndexMap() : keys_(kStart, 0), values_(kStart, 0) {}

    /// The colour's number, or kMissing.
    std::uint32_t find(std::uint32_t colour) const {
        if (colour == lastKey_) return lastValue_;
        for (std::uint32_t at = slotOf(colour);; at = (at + 1) & mask()) {
            if (keys_[at] == colour) return remember(colour, values_[at]);
            if (keys_[at] == 0) return kMissing;
        }
    }
    /// The colour's number, given @p value when it is new.
    std::uint32_t insert(std::uint32_t colour, std::uint32_t value) {
        if (colour == lastKey_) return lastValue_;
        std::uint32_t at = slotOf(colour);
        for (; keys_[at] != 0; at = (at + 1) & mask()) {
            if (keys_[at] == colour) return remember(colour, values_[at]);
        }
        keys_[at] = colour;
        values_[at] = value;
        if (++count_ * 2 > keys_.size()) grow();
        return remember(colour, value);
    }
    /// How many colours the map holds.
    std::size_t size() const { return count_; }

private:
    static constexpr std::size_t kStart = 1024;
    std::uint32_t mask() const { return std::uint32_t(keys_.size() - 1); }
    std::uint32_t slotOf(std::uint32_t colour) const { return (colour * 0x9E3779B1u) >> shift_; }
    std::uint32_t remember(std::uint32_t colour, std::uint32_t value) const {
        lastKey_ = colour;
        lastValue_ = value;
        return value;
    }
    void grow() {
        std::vector<std::uint32_t> keys(keys_.size() * 2, 0), values(keys.size(), 0);
        --shift_;
        keys.swap(keys_);
        values.swap(values_);
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (keys[i] == 0) continue;
            std::uint32_t at = slotOf(keys[i]);
            while (keys_[at] != 0) at = (at + 1) & mask();
            keys_[at] = keys[i];
            values_[at] = values[i];
        }
    }

    std::vector<std::uint32_t> keys_;
    std::vector<std::uint32_t> values_;
    std::size_t count_ = 0;
    int shift_ = 22;  // 32 less the bits of kStart
    mutable std::uint32_t lastKey_ = 0;
    mutable std::uint32_t lastValue_ = 0;
};
