#pragma once

#include <cstdint>
#include <vector>

/// @file
/// A map of colours to small numbers for the frame optimiser's pixel loops.

/// Colours (non-zero 32-bit words) to small numbers: open addressing that
/// doubles when half full. Lookups take no branch a photograph's pixels
/// would mispredict beyond the probe itself.
class TColourIndexMap {
public:
    /// What find() gives for a colour not in the map.
    static constexpr std::uint32_t kMissing = 0xFFFFFFFF;

    TColourIndexMap() : slots_(kStart) {}

    /// The colour's number, or kMissing.
    std::uint32_t find(std::uint32_t colour) const;
    class Finder;
    /// A Finder over the map as it is now; good until the next insert.
    Finder finder() const;
    /// The colour's number, given @p value when it is new.
    std::uint32_t insert(std::uint32_t colour, std::uint32_t value) {
        std::uint32_t at = slotOf(colour);
        for (; slots_[at].key != 0; at = (at + 1) & mask()) {
            if (slots_[at].key == colour) return slots_[at].value;
        }
        slots_[at] = {colour, value};
        if (++count_ * 2 > slots_.size()) grow();
        return value;
    }
    /// How many colours the map holds.
    std::size_t size() const { return count_; }

private:
    // A colour and its number side by side, so that a probe reads one line.
    struct Slot {
        std::uint32_t key = 0;
        std::uint32_t value = 0;
    };
    static constexpr std::size_t kStart = 1024;
    std::uint32_t mask() const { return std::uint32_t(slots_.size() - 1); }
    static std::uint32_t slotOf(std::uint32_t colour, int shift) { return (colour * 0x9E3779B1u) >> shift; }
    std::uint32_t slotOf(std::uint32_t colour) const { return slotOf(colour, shift_); }
    void grow() {
        std::vector<Slot> old(slots_.size() * 2);
        --shift_;
        old.swap(slots_);
        for (const Slot& slot : old) {
            if (slot.key == 0) continue;
            std::uint32_t at = slotOf(slot.key);
            while (slots_[at].key != 0) at = (at + 1) & mask();
            slots_[at] = slot;
        }
    }

    std::vector<Slot> slots_;
    std::size_t count_ = 0;
    int shift_ = 22;  // 32 less the bits of kStart
};

/// TColourIndexMap::find with the map's state held apart, so that a pixel
/// loop keeps it in registers.
class TColourIndexMap::Finder {
public:
    /// Over @p slots, a power of two of them (@p mask one less), hashed with
    /// @p shift.
    Finder(const Slot* slots, std::uint32_t mask, int shift) : slots_(slots), mask_(mask), shift_(shift) {}
    /// As TColourIndexMap::find.
    std::uint32_t find(std::uint32_t colour) const {
        for (std::uint32_t at = slotOf(colour, shift_);; at = (at + 1) & mask_) {
            const Slot slot = slots_[at];
            if (slot.key == colour) return slot.value;
            if (slot.key == 0) return kMissing;
        }
    }

private:
    const Slot* slots_;
    std::uint32_t mask_;
    int shift_;
};

inline TColourIndexMap::Finder TColourIndexMap::finder() const { return {slots_.data(), mask(), shift_}; }

inline std::uint32_t TColourIndexMap::find(std::uint32_t colour) const { return finder().find(colour); }
