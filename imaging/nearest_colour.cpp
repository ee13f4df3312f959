// The nearest-colour search of TLogicalPalette: for one box of 4 x 8 x 4
// grid cells, first the entries that can win anywhere in the box, then for
// each cell centre the nearest of those, by distances updated with additions
// only.
#include <algorithm>
#include <climits>
#include <new>

#include "imaging/logical_palette.h"
#include "toolkit/exception.h"

namespace {

constexpr int kCacheCells = 32 * 64 * 32;

// Adds an axis's contribution to an entry's least and greatest distance from
// any point of [low, high]. The greatest is from the farther end, the least
// from the nearer end or 0 inside; without branches, so that the loop over
// the entries runs as vector code.
void axisBounds(int value, int low, int high, int scale, int& least, int& greatest) {
    const int toLow = scale * (value - low) * scale * (value - low);
    const int toHigh = scale * (value - high) * scale * (value - high);
    least += value < low ? toLow : value > high ? toHigh : 0;
    greatest += std::max(toLow, toHigh);
}

}  // namespace

void TLogicalPalette::InitCache() {
    if (cache_) return;
    try {
        cache_.reset(new std::uint16_t[kCacheCells]());
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory();
    }
}

void TLogicalPalette::FreeCache() { cache_.reset(); }

// A cell naming an entry past the count was filled for entries since
// replaced (ReAlloc keeps the cache): nothing in it can be trusted.
void TLogicalPalette::forgetStaleCache(int cell) {
    if (cache_[cell] > count_) std::fill_n(cache_.get(), kCacheCells, std::uint16_t(0));
}

void TLogicalPalette::copyCacheFrom(const TLogicalPalette& other) {
    if (!other.cache_ || &other == this) return;
    InitCache();
    std::copy_n(other.cache_.get(), kCacheCells, cache_.get());
}

std::uint8_t TLogicalPalette::nearestSlow(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    if (count_ == 0) return 0;
    const int r = red >> 3, g = green >> 2, b = blue >> 3;
    if (cache_) {
        forgetStaleCache(cellIndex(r, g, b));
        FillInverseColourMap(r, g, b);
        return std::uint8_t(cache_[cellIndex(r, g, b)] - 1);
    }
    TBestColourList list;
    GetBestColours(r, g, b, list);
    return list.best[std::size_t(((r & 3) * 8 + (g & 7)) * 4 + (b & 3))];
}

int TLogicalPalette::resolveSlow(int red, int green, int blue, int& redError, int& greenError,
                                 int& blueError) {
    if (count_ == 0) {
        redError = greenError = blueError = 0;
        return 0;
    }
    InitCache();
    const int cell = cellIndex(red >> 3, green >> 2, blue >> 3);
    forgetStaleCache(cell);
    if (cache_[cell] == 0) FillInverseColourMap(red >> 3, green >> 2, blue >> 3);
    const int index = cache_[cell] - 1;
    const TPaletteEntry& e = entries_[std::size_t(index)];
    redError = red - e.peRed;
    greenError = green - e.peGreen;
    blueError = blue - e.peBlue;
    return index;
}

void TLogicalPalette::GetBestColours(int cellRed, int cellGreen, int cellBlue,
                                     TBestColourList& list) const {
    const int boxRed = cellRed >> 2, boxGreen = cellGreen >> 3, boxBlue = cellBlue >> 2;
    const int minRed = boxRed * 32 + 4, minGreen = boxGreen * 32 + 2, minBlue = boxBlue * 32 + 4;
    TColourList candidates;
    FindNearbyColours(minRed, minGreen, minBlue, candidates);
    FindBestColours(minRed, minGreen, minBlue, candidates, list);
    list.red = std::uint8_t(boxRed * 4);
    list.green = std::uint8_t(boxGreen * 8);
    list.blue = std::uint8_t(boxBlue * 4);
}

void TLogicalPalette::FindNearbyColours(int minRed, int minGreen, int minBlue,
                                        TColourList& list) const {
    const int maxRed = minRed + 24, maxGreen = minGreen + 28, maxBlue = minBlue + 24;
    std::array<int, kMaxColours> least;
    int bound = INT_MAX;
    for (int i = 0; i < count_; ++i) {
        const TPaletteEntry& e = entries_[std::size_t(i)];
        int lo = 0, hi = 0;
        axisBounds(e.peRed, minRed, maxRed, 2, lo, hi);
        axisBounds(e.peGreen, minGreen, maxGreen, 3, lo, hi);
        axisBounds(e.peBlue, minBlue, maxBlue, 1, lo, hi);
        least[std::size_t(i)] = lo;
        bound = std::min(bound, hi);
    }
    list.length = 0;
    for (int i = 0; i < count_; ++i) {
        if (least[std::size_t(i)] < bound) list.indices[list.length++] = std::uint8_t(i);
    }
}

// Distances are computed whole for each candidate, (dR + 16 r)^2 + (dG + 12 g)^2
// + (dB + 8 b)^2 over the box's cells (the same integers the incremental
// form gives), so that the comparison of all 32 cells of a red plane runs as
// vector code; a later candidate wins only when strictly nearer.
void TLogicalPalette::FindBestColours(int minRed, int minGreen, int minBlue,
                                      const TColourList& list, TBestColourList& best) const {
    std::array<int, 128> distance;
    std::array<int, 128> winner;
    distance.fill(INT_MAX);
    winner.fill(0);
    for (int n = 0; n < list.length; ++n) {
        const int index = list.indices[std::size_t(n)];
        const TPaletteEntry& e = entries_[std::size_t(index)];
        const int dR = (minRed - e.peRed) * 2, dG = (minGreen - e.peGreen) * 3, dB = minBlue - e.peBlue;
        int greenBlue[32];
        for (int g = 0; g < 8; ++g) {
            for (int b = 0; b < 4; ++b) {
                greenBlue[g * 4 + b] = (dG + 12 * g) * (dG + 12 * g) + (dB + 8 * b) * (dB + 8 * b);
            }
        }
        for (int r = 0; r < 4; ++r) {
            const int red = (dR + 16 * r) * (dR + 16 * r);
            int* planeDistance = distance.data() + 32 * r;
            int* planeWinner = winner.data() + 32 * r;
            for (int cell = 0; cell < 32; ++cell) {
                const int d = red + greenBlue[cell];
                const bool nearer = d < planeDistance[cell];
                planeDistance[cell] = nearer ? d : planeDistance[cell];
                planeWinner[cell] = nearer ? index : planeWinner[cell];
            }
        }
    }
    for (std::size_t cell = 0; cell < 128; ++cell) best.best[cell] = std::uint8_t(winner[cell]);
}

void TLogicalPalette::FillInverseColourMap(int cellRed, int cellGreen, int cellBlue) {
    TBestColourList list;
    GetBestColours(cellRed, cellGreen, cellBlue, list);
    int cell = 0;
    for (int r = 0; r < 4; ++r) {
        for (int g = 0; g < 8; ++g) {
            for (int b = 0; b < 4; ++b, ++cell) {
                // Cells already known keep their entry: the quantizer presets
                // each of its single colours to its own entry.
                std::uint16_t& known = cache_[cellIndex(list.red + r, list.green + g, list.blue + b)];
                if (known == 0) known = std::uint16_t(list.best[std::size_t(cell)] + 1);
            }
        }
    }
}
