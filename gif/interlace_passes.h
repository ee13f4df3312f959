#pragma once

#include <span>

/// @file
/// The row orders of GIF images.

/// The row orders of a GIF image: one pass over every row, or the four
/// interlaced passes (every 8th row from 0, every 8th from 4, every 4th
/// from 2, every 2nd from 1).
struct TInterlacePass {
    int first;  ///< the pass's first row
    int step;   ///< rows from one of its rows to the next
};

/// The passes of an interlaced or a sequential image, in stream order.
inline std::span<const TInterlacePass> imagePasses(bool interlaced) {
    static constexpr TInterlacePass kSequential[] = {{0, 1}};
    static constexpr TInterlacePass kInterlaced[] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};
    return interlaced ? std::span<const TInterlacePass>(kInterlaced) : std::span<const TInterlacePass>(kSequential);
}
