#include "gif/palette_refinement.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <unordered_map>
#include <vector>

#include "imaging/device_independent_bitmap.h"
#include "imaging/ditherers.h"
#include "imaging/logical_palette.h"
#include "imaging/pixel_readers.h"
#include "imaging/pixel_writers.h"

namespace {

// k-means passes over the histogram's cells after the median cut.
constexpr int kRefinementPasses = 3;

// The pixels of one cell of a 5-6-5 grid: how many, and their sums.
struct Cell {
    double red = 0, green = 0, blue = 0;
    double count = 0;
};

struct Box {
    int first, last;  // cells [first, last)
    double error;     // weighted squared distance from the mean
};

// One row's pixels as R, G, B bytes, left to right: straight from the bytes
// of a true-colour bitmap, through the reader's calls for other formats.
void readRow(TDIBReader* reader, std::vector<std::uint8_t>& rgb) {
    rgb.clear();
    if (auto* trueColour = dynamic_cast<TDIB24Reader*>(reader); trueColour && !trueColour->GetBackwards()) {
        const std::uint8_t* bytes = trueColour->nextPixelBytes();
        const int n = trueColour->pixelsLeft();
        rgb.resize(std::size_t(n) * 3);
        std::uint8_t* out = rgb.data();
        for (int i = 0; i < n; ++i, bytes += 3, out += 3) {
            out[0] = bytes[2];
            out[1] = bytes[1];
            out[2] = bytes[0];
        }
        trueColour->SkipPixels(n);
        return;
    }
    std::uint8_t r, g, b;
    while (reader->GetNextPixel(r, g, b)) rgb.insert(rgb.end(), {r, g, b});
}

// Calls visit(row) for each row, or each rowStep-th, top to bottom, until it
// returns false.
template <typename Visit>
void forEachRow(TDeviceIndependentBitmap* dib, Visit visit, int rowStep = 1) {
    std::unique_ptr<TDIBReader> reader = dib->GetReader();
    std::vector<std::uint8_t> rgb;
    rgb.reserve(std::size_t(std::max(dib->GetWidth(), 0)) * 3);
    int y = 0;
    for (reader->Reset(0, 1); !reader->EndOfScan(); reader->NextRow(), ++y) {
        if (y % rowStep != 0) continue;
        readRow(reader.get(), rgb);
        if (!visit(rgb)) return;
    }
}

std::uint32_t rgbAt(const std::vector<std::uint8_t>& row, std::size_t x) {
    return std::uint32_t(row[3 * x]) << 16 | std::uint32_t(row[3 * x + 1]) << 8 | row[3 * x + 2];
}

// The picture's own colours, in order of appearance, when there are few.
// Runs of one colour, common in such pictures, cost one comparison a pixel.
std::vector<std::uint32_t> fewColours(TDeviceIndependentBitmap* dib, int maximum) {
    std::unordered_map<std::uint32_t, bool> seen;
    std::vector<std::uint32_t> colours;
    bool tooMany = false;
    forEachRow(dib, [&](const std::vector<std::uint8_t>& row) {
        std::uint32_t last = 0xFFFFFFFF;
        for (std::size_t x = 0; x < row.size() / 3 && !tooMany; ++x) {
            const std::uint32_t rgb = rgbAt(row, x);
            if (rgb == last) continue;
            last = rgb;
            if (seen.emplace(rgb, true).second) {
                colours.push_back(rgb);
                tooMany = int(colours.size()) > maximum;
            }
        }
        return !tooMany;
    });
    if (tooMany) colours.clear();
    return colours;
}

// Pictures of more than this many pixels are sampled at every second pixel
// of every second row: a quarter of them still says where the colours are.
constexpr std::int64_t kPixelsSampledWhole = 4 << 20;

std::vector<Cell> histogram(TDeviceIndependentBitmap* dib) {
    std::vector<Cell> grid(65536);
    const bool sampled = std::int64_t(dib->GetWidth()) * std::abs(dib->GetHeight()) > kPixelsSampledWhole;
    const std::size_t pixelStep = sampled ? 6 : 3;
    forEachRow(dib, [&](const std::vector<std::uint8_t>& row) {
        for (std::size_t i = 0; i + 2 < row.size(); i += pixelStep) {
            const std::uint8_t r = row[i], g = row[i + 1], b = row[i + 2];
            Cell& cell = grid[std::size_t((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3))];
            cell.red += r;
            cell.green += g;
            cell.blue += b;
            cell.count += 1;
        }
        return true;
    }, sampled ? 2 : 1);
    std::vector<Cell> cells;
    for (const Cell& cell : grid) {
        if (cell.count > 0) cells.push_back({cell.red / cell.count, cell.green / cell.count, cell.blue / cell.count, cell.count});
    }
    return cells;
}

Cell meanOf(const std::vector<Cell>& cells, int first, int last) {
    Cell mean;
    for (int i = first; i < last; ++i) {
        const Cell& c = cells[std::size_t(i)];
        mean.red += c.red * c.count;
        mean.green += c.green * c.count;
        mean.blue += c.blue * c.count;
        mean.count += c.count;
    }
    if (mean.count > 0) {
        mean.red /= mean.count;
        mean.green /= mean.count;
        mean.blue /= mean.count;
    }
    return mean;
}

double channel(const Cell& c, int axis) { return axis == 0 ? c.red : axis == 1 ? c.green : c.blue; }

// Squared error of the box and the channel along which it varies most.
std::pair<double, int> spread(const std::vector<Cell>& cells, const Box& box) {
    const Cell mean = meanOf(cells, box.first, box.last);
    std::array<double, 3> variance{};
    for (int i = box.first; i < box.last; ++i) {
        const Cell& c = cells[std::size_t(i)];
        for (int axis = 0; axis < 3; ++axis) {
            const double d = channel(c, axis) - channel(mean, axis);
            variance[std::size_t(axis)] += d * d * c.count;
        }
    }
    const auto widest = std::max_element(variance.begin(), variance.end());
    return {variance[0] + variance[1] + variance[2], int(widest - variance.begin())};
}

// Whether the boxes' colours lie close enough to their pixels (`pixels` in
// all): within a mean squared distance of `bound`, or of four times that
// at a count that leaves one index of a GIF colour table of 8 or more
// free. The next count would fill the table and leave no index for
// transparency. Never for a bound of 0.
bool closeEnough(const std::vector<Box>& boxes, double pixels, double bound) {
    double error = 0;
    for (const Box& box : boxes) error += box.error;
    const bool leavesOneIndex = boxes.size() >= 7 && std::has_single_bit(boxes.size() + 1);
    return bound > 0 && error <= (leavesOneIndex ? 4 * bound : bound) * pixels;
}

// Splits boxes, the one with the largest error first, at the weighted
// median of their widest channel, until there are `maximum` or their
// colours are close enough.
std::vector<Box> medianCut(std::vector<Cell>& cells, int maximum, double closeEnoughError) {
    std::vector<Box> boxes{{0, int(cells.size()), spread(cells, {0, int(cells.size()), 0}).first}};
    const double pixels = meanOf(cells, 0, int(cells.size())).count;
    while (int(boxes.size()) < maximum && !closeEnough(boxes, pixels, closeEnoughError)) {
        const auto worst = std::max_element(boxes.begin(), boxes.end(),
                                            [](const Box& a, const Box& b) { return a.error < b.error; });
        if (worst->last - worst->first < 2 || worst->error <= 0) break;
        Box box = *worst;
        const int axis = spread(cells, box).second;
        std::sort(cells.begin() + box.first, cells.begin() + box.last,
                  [axis](const Cell& a, const Cell& b) { return channel(a, axis) < channel(b, axis); });
        const double half = meanOf(cells, box.first, box.last).count / 2;
        double running = 0;
        int split = box.first + 1;
        for (int i = box.first; i < box.last - 1; ++i) {
            running += cells[std::size_t(i)].count;
            split = i + 1;
            if (running >= half) break;
        }
        Box low{box.first, split, 0}, high{split, box.last, 0};
        low.error = spread(cells, low).first;
        high.error = spread(cells, high).first;
        *worst = low;
        boxes.push_back(high);
    }
    return boxes;
}

double distance(const Cell& a, const Cell& b) {
    const double dr = a.red - b.red, dg = a.green - b.green, db = a.blue - b.blue;
    return dr * dr + dg * dg + db * db;
}

// The colour nearest to a cell among colours sorted by green (`order`
// holds their positions), searching outwards from the cell's green and
// stopping on each side where green alone is farther than the best so far.
// `guess`, the cell's colour of the pass before, bounds the search from
// the start.
std::size_t nearestColour(const Cell& cell, const std::vector<Cell>& colours, const std::vector<std::size_t>& order,
                          std::size_t guess) {
    std::size_t up = std::size_t(std::lower_bound(order.begin(), order.end(), cell.green,
                                                  [&](std::size_t k, double g) { return colours[k].green < g; }) -
                                 order.begin());
    std::size_t down = up;
    std::size_t best = guess < colours.size() ? guess : order[std::min(up, order.size() - 1)];
    double bestDistance = distance(cell, colours[best]);
    const auto consider = [&](std::size_t k) {
        const double d = distance(cell, colours[k]);
        if (d < bestDistance) {
            bestDistance = d;
            best = k;
        }
    };
    for (bool more = true; more;) {
        more = false;
        if (up < order.size()) {
            const double dg = colours[order[up]].green - cell.green;
            if (dg * dg <= bestDistance) {
                consider(order[up++]);
                more = true;
            }
        }
        if (down > 0) {
            const double dg = cell.green - colours[order[down - 1]].green;
            if (dg * dg <= bestDistance) {
                consider(order[--down]);
                more = true;
            }
        }
    }
    return best;
}

// Moves every colour to the weighted mean of the cells nearest to it.
void refine(const std::vector<Cell>& cells, std::vector<Cell>& colours, int passes) {
    std::vector<std::size_t> order(colours.size());
    std::vector<Cell> sums(colours.size());
    std::vector<std::size_t> nearest(cells.size(), colours.size());
    for (int pass = 0; pass < passes; ++pass) {
        for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
        std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return colours[a].green < colours[b].green; });
        std::fill(sums.begin(), sums.end(), Cell{});
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const Cell& cell = cells[i];
            nearest[i] = nearestColour(cell, colours, order, nearest[i]);
            Cell& sum = sums[nearest[i]];
            sum.red += cell.red * cell.count;
            sum.green += cell.green * cell.count;
            sum.blue += cell.blue * cell.count;
            sum.count += cell.count;
        }
        for (std::size_t k = 0; k < colours.size(); ++k) {
            if (sums[k].count == 0) continue;
            colours[k] = {sums[k].red / sums[k].count, sums[k].green / sums[k].count, sums[k].blue / sums[k].count,
                          sums[k].count};
        }
    }
}

std::uint8_t byteOf(double value) { return std::uint8_t(std::clamp(int(value + 0.5), 0, 255)); }

}  // namespace

std::unique_ptr<TLogicalPalette> refinedPalette(TDeviceIndependentBitmap* dib, int maximumColours,
                                                double closeEnoughError) {
    auto palette = std::make_unique<TLogicalPalette>();
    palette->ReAlloc(maximumColours);
    const std::vector<std::uint32_t> own = fewColours(dib, maximumColours);
    if (!own.empty()) {
        for (std::uint32_t rgb : own) palette->addColour(std::uint8_t(rgb >> 16), std::uint8_t(rgb >> 8), std::uint8_t(rgb));
        palette->SetIsExact(true);
        return palette;
    }
    std::vector<Cell> cells = histogram(dib);
    std::vector<Cell> colours;
    for (const Box& box : medianCut(cells, maximumColours, closeEnoughError)) {
        colours.push_back(meanOf(cells, box.first, box.last));
    }
    refine(cells, colours, kRefinementPasses);
    for (const Cell& c : colours) palette->addColour(byteOf(c.red), byteOf(c.green), byteOf(c.blue));
    palette->SetIsExact(false);
    return palette;
}

namespace {

// An 8-bit bitmap of the source's size with the palette as colour table, its
// rows filled top to bottom by fill(sourceRow, indices).
template <typename Fill>
std::unique_ptr<TDeviceIndependentBitmap> indexedBy(TDeviceIndependentBitmap* dib, const TLogicalPalette* palette,
                                                    Fill fill) {
    auto out = std::make_unique<TDeviceIndependentBitmap>(TDIBFormat::dt8bit, dib->GetWidth(), dib->GetHeight());
    out->SetColourTable(palette);
    out->SetTransparent(dib->GetTransparent());
    out->SetTransparentColour(dib->GetTransparentColour());
    std::unique_ptr<TDIBWriter> writer = out->GetWriter();
    auto* mapped = static_cast<TDIBMappedWriter*>(writer.get());
    std::vector<std::uint8_t> indices(std::size_t(std::max(dib->GetWidth(), 0)));
    writer->Reset(0, 1);
    forEachRow(dib, [&](const std::vector<std::uint8_t>& row) {
        fill(row, indices);
        mapped->SetNextIndices(indices.data(), int(row.size() / 3));
        writer->NextRow();
        return true;
    });
    return out;
}

}  // namespace

// The nearest entry by plain RGB distance, for the centre of each cell of a
// grid of 4 x 4 x 4 values, found when first asked for. A block of 8 x 8 x 8
// cells first finds the entries that can be nearest to any point of it:
// those no farther from the block than the farthest point of the block is
// from the entry that is nearest at its worst. A cell then looks at those
// alone.
class TNearestEntries {
public:
    explicit TNearestEntries(const TLogicalPalette* palette)
        : cells_(std::size_t(1) << 18, 0), known_(cells_.size() / 64, 0), candidates_(kBlocks) {
        for (int i = 0; i < palette->GetCount(); ++i)
            colours_.push_back({palette->GetRed(i), palette->GetGreen(i), palette->GetBlue(i)});
    }

    const std::array<int, 3>& colour(int index) const { return colours_[std::size_t(index)]; }

    // One byte a cell and one bit for whether it is known keep the grid in
    // the second-level cache, and the two loads go side by side.
    [[gnu::always_inline]] int nearest(int red, int green, int blue) {
        const std::size_t cell = std::size_t((red >> 2) << 12 | (green >> 2) << 6 | (blue >> 2));
        std::uint64_t& known = known_[cell / 64];
        const std::uint64_t bit = std::uint64_t(1) << (cell % 64);
        if (!(known & bit)) [[unlikely]] {
            cells_[cell] = std::uint8_t(search((red & ~3) + 2, (green & ~3) + 2, (blue & ~3) + 2));
            known |= bit;
        }
        return cells_[cell];
    }

private:
    static constexpr int kBlockShift = 5;  // 32 values, 8 cells, a side
    static constexpr int kBlocks = 1 << (3 * (8 - kBlockShift));

    // The entries that may be nearest to the points of one block, one
    // array a channel, so that their distances are taken side by side.
    struct Candidates {
        std::vector<int> red, green, blue, index;
    };

    // Each distance carries the entry's index in its low bits: the least
    // of them is the nearest entry, and the lowest index among equally
    // near ones.
    [[gnu::noinline]] int search(int red, int green, int blue) {
        const Candidates& candidates = candidatesFor(red, green, blue);
        const std::size_t count = candidates.index.size();
        const int* r = candidates.red.data();
        const int* g = candidates.green.data();
        const int* b = candidates.blue.data();
        const int* index = candidates.index.data();
        int best = INT_MAX;
        for (std::size_t i = 0; i < count; ++i) {
            const int d = (r[i] - red) * (r[i] - red) + (g[i] - green) * (g[i] - green) +
                          (b[i] - blue) * (b[i] - blue);
            best = std::min(best, d << 8 | index[i]);
        }
        return count == 0 ? 0 : best & 0xFF;
    }

    const Candidates& candidatesFor(int red, int green, int blue) {
        const int block = (red >> kBlockShift) << 6 | (green >> kBlockShift) << 3 | (blue >> kBlockShift);
        Candidates& candidates = candidates_[std::size_t(block)];
        if (!candidates.index.empty() || colours_.empty()) return candidates;
        const int side = (1 << kBlockShift) - 1;
        const std::array<int, 3> low = {red & ~side, green & ~side, blue & ~side};
        std::vector<int> closestSquares(colours_.size());
        int bound = INT_MAX;
        for (std::size_t i = 0; i < colours_.size(); ++i) {
            int nearestSquare = 0, farthestSquare = 0;
            for (int c = 0; c < 3; ++c) {
                const int v = colours_[i][std::size_t(c)], lo = low[std::size_t(c)], hi = lo + side;
                const int outside = v < lo ? lo - v : v > hi ? v - hi : 0;
                const int far = std::max(std::abs(v - lo), std::abs(v - hi));
                nearestSquare += outside * outside;
                farthestSquare += far * far;
            }
            closestSquares[i] = nearestSquare;
            bound = std::min(bound, farthestSquare);
        }
        for (std::size_t i = 0; i < colours_.size(); ++i) {
            if (closestSquares[i] > bound) continue;
            candidates.red.push_back(colours_[i][0]);
            candidates.green.push_back(colours_[i][1]);
            candidates.blue.push_back(colours_[i][2]);
            candidates.index.push_back(int(i));
        }
        return candidates;
    }

    std::vector<std::array<int, 3>> colours_;
    std::vector<std::uint8_t> cells_;
    std::vector<std::uint64_t> known_;
    std::vector<Candidates> candidates_;
};

std::shared_ptr<TNearestEntries> nearestEntriesOf(const TLogicalPalette* palette) {
    return std::make_shared<TNearestEntries>(palette);
}

namespace {

// Floyd-Steinberg error diffusion on a serpentine path with the nearest
// entry by plain RGB distance. Errors are kept in 16ths, for the row being
// coded and the next one; what reaches a pixel is damped as the library's
// Floyd-Steinberg ditherer damps it and passed on at 7/8 of its size, so
// that noise stays low.
class FullDiffusion {
public:
    FullDiffusion(TNearestEntries& nearest, int width)
        : nearest_(nearest), width_(width), current_(std::size_t(width + 2) * 3), next_(current_.size()) {
        TFSErrorLimitArray limits;
        TFSDitherer::InitErrorLimits(limits);
        for (int sum = -kDampedReach; sum < kDampedReach; ++sum) {
            const int error = std::clamp((sum + 8) >> 4, -255, 255);
            damped_[std::size_t(sum + kDampedReach)] = std::int8_t(limits[std::size_t(error + 255)]);
        }
    }

    // The error a pixel passes on goes 7/16 to the pixel ahead, and 3/16,
    // 5/16 and 1/16 to the three below it, from behind to ahead. Those for
    // the pixel ahead and for the last three pixels below are kept in
    // locals: a slot below is written once, when the pixel above and ahead
    // of it has given its share.
    void row(const std::vector<std::uint8_t>& rgb, std::vector<std::uint8_t>& indices) {
        const int step = forward_ ? 1 : -1;
        int ahead[3] = {0, 0, 0};
        int last[3] = {0, 0, 0};        // the previous pixel's error
        int beforeLast[3] = {0, 0, 0};  // and the one before it
        int x = forward_ ? 0 : width_ - 1;
        for (int n = 0; n < width_; ++n, x += step) {
            const int* own = &current_[std::size_t(x + 1) * 3];
            int* behindBelow = &next_[std::size_t(x + 1 - step) * 3];
            int value[3];
            for (int c = 0; c < 3; ++c) {
                const int received = own[c] + ahead[c];
                value[c] = std::clamp(rgb[std::size_t(3 * x + c)] + damped_[std::size_t(received + kDampedReach)], 0, 255);
            }
            const int index = nearest_.nearest(value[0], value[1], value[2]);
            indices[std::size_t(x)] = std::uint8_t(index);
            const std::array<int, 3>& chosen = nearest_.colour(index);
            for (int c = 0; c < 3; ++c) {
                const int error = (value[c] - chosen[std::size_t(c)]) * 7 / 8;
                ahead[c] = 7 * error;
                behindBelow[c] = 3 * error + 5 * last[c] + beforeLast[c];
                beforeLast[c] = last[c];
                last[c] = error;
            }
        }
        // The slots below the last pixel and beyond it.
        int* lastBelow = &next_[std::size_t(x + 1 - step) * 3];
        for (int c = 0; c < 3; ++c) {
            lastBelow[c] = 5 * last[c] + beforeLast[c];
            lastBelow[c + 3 * step] = last[c];
        }
        std::swap(current_, next_);
        forward_ = !forward_;
    }

private:
    // The damped error for each sum of weighted errors a pixel receives; an
    // error passed on is at most 255 * 7 / 8 = 223, so a sum at most
    // 16 * 223 = 3568 either way.
    static constexpr int kDampedReach = 4096;
    std::array<std::int8_t, 2 * kDampedReach> damped_;
    TNearestEntries& nearest_;
    int width_;
    std::vector<int> current_, next_;
    bool forward_ = true;
};

}  // namespace

std::unique_ptr<TDeviceIndependentBitmap> indexedExactly(TDeviceIndependentBitmap* dib, TLogicalPalette* palette) {
    std::unordered_map<std::uint32_t, std::uint8_t> index;
    for (int i = palette->GetCount() - 1; i >= 0; --i) {
        index[std::uint32_t(palette->GetRed(i)) << 16 | std::uint32_t(palette->GetGreen(i)) << 8 |
              palette->GetBlue(i)] = std::uint8_t(i);
    }
    return indexedBy(dib, palette, [&](const std::vector<std::uint8_t>& row, std::vector<std::uint8_t>& indices) {
        std::uint32_t last = 0xFFFFFFFF;
        std::uint8_t lastIndex = 0;
        for (std::size_t x = 0; x < row.size() / 3; ++x) {
            const std::uint32_t rgb = rgbAt(row, x);
            if (rgb != last) {
                last = rgb;
                lastIndex = index.at(rgb);
            }
            indices[x] = lastIndex;
        }
    });
}

std::unique_ptr<TDeviceIndependentBitmap> indexedFaithfully(TDeviceIndependentBitmap* dib, const TLogicalPalette* palette,
                                                            bool dither) {
    TNearestEntries nearest(palette);
    return indexedFaithfully(dib, palette, dither, nearest);
}

std::unique_ptr<TDeviceIndependentBitmap> indexedFaithfully(TDeviceIndependentBitmap* dib, const TLogicalPalette* palette,
                                                            bool dither, TNearestEntries& nearest) {
    FullDiffusion diffusion(nearest, std::max(dib->GetWidth(), 0));
    return indexedBy(dib, palette, [&](const std::vector<std::uint8_t>& row, std::vector<std::uint8_t>& indices) {
        if (dither) {
            diffusion.row(row, indices);
            return;
        }
        for (std::size_t x = 0; x < row.size() / 3; ++x)
            indices[x] = std::uint8_t(nearest.nearest(row[3 * x], row[3 * x + 1], row[3 * x + 2]));
    });
}
