#pragma once

#include <cstdint>

/// @file
/// The colour channels of bit-field pixels.

/// One 8-bit channel of a 16- or 32-bit pixel. The shift places the mask's
/// top bit at bit 7; it lies between -8 and 24 for any 32-bit mask.
inline std::uint8_t channelOf(std::uint32_t word, std::uint32_t mask, int shift) {
    const std::uint32_t bits = word & mask;
    return std::uint8_t(shift >= 0 ? bits >> shift : bits << -shift);
}

/// The bits of a pixel word that hold the 8-bit channel @p value, the
/// inverse of channelOf.
inline std::uint32_t channelBits(std::uint8_t value, std::uint32_t mask, int shift) {
    return (shift >= 0 ? std::uint32_t(value) << shift : std::uint32_t(value) >> -shift) & mask;
}
