#include "gif/palette_refinement.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "imaging/device_independent_bitmap.h"
#include "imaging/logical_palette.h"
#include "imaging/pixel_readers.h"
#include "imaging/pixel_writers.h"

namespace {

// The pixels of one cell of a 5-6-5 grid: how many, and their sums.
struct Cell {
    double red = 0, green = 0, blue = 0;
    double count = 0;
};

struct Box {
    int first, last;  // cells [first, last)
    double error;     // weighted squared distance from the mean
};

template <typename Visit>
void forEachPixel(TDeviceIndependentBitmap* dib, Visit visit) {
    std::unique_ptr<TDIBReader> reader = dib->GetReader();
    std::uint8_t r, g, b;
    while (!reader->EndOfScan()) {
        while (reader->GetNextPixel(r, g, b)) visit(r, g, b);
        reader->NextRow();
    }
}

// The picture's own colours, in order of appearance, when there are few.
std::vector<std::uint32_t> fewColours(TDeviceIndependentBitmap* dib, int maximum) {
    std::unordered_map<std::uint32_t, bool> seen;
    std::vector<std::uint32_t> colours;
    bool tooMany = false;
    forEachPixel(dib, [&](std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        if (tooMany) return;
        const std::uint32_t rgb = std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | b;
        if (seen.emplace(rgb, true).second) {
            colours.push_back(rgb);
            tooMany = int(colours.size()) > maximum;
        }
    });
    if (tooMany) colours.clear();
    return colours;
}

std::vector<Cell> histogram(TDeviceIndependentBitmap* dib) {
    std::vector<Cell> grid(65536);
    forEachPixel(dib, [&](std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        Cell& cell = grid[std::size_t((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3))];
        cell.red += r;
        cell.green += g;
        cell.blue += b;
        cell.count += 1;
    });
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

// Splits boxes, the one with the largest error first, at the weighted
// median of their widest channel.
std::vector<Box> medianCut(std::vector<Cell>& cells, int maximum) {
    std::vector<Box> boxes{{0, int(cells.size()), spread(cells, {0, int(cells.size()), 0}).first}};
    while (int(boxes.size()) < maximum) {
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

// Moves every colour to the weighted mean of the cells nearest to it.
void refine(const std::vector<Cell>& cells, std::vector<Cell>& colours, int passes) {
    for (int pass = 0; pass < passes; ++pass) {
        std::vector<Cell> sums(colours.size());
        for (const Cell& cell : cells) {
            std::size_t best = 0;
            double bestDistance = distance(cell, colours[0]);
            for (std::size_t k = 1; k < colours.size(); ++k) {
                const double d = distance(cell, colours[k]);
                if (d < bestDistance) {
                    bestDistance = d;
                    best = k;
                }
            }
            sums[best].red += cell.red * cell.count;
            sums[best].green += cell.green * cell.count;
            sums[best].blue += cell.blue * cell.count;
            sums[best].count += cell.count;
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

std::unique_ptr<TLogicalPalette> refinedPalette(TDeviceIndependentBitmap* dib, int maximumColours) {
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
    for (const Box& box : medianCut(cells, maximumColours)) colours.push_back(meanOf(cells, box.first, box.last));
    refine(cells, colours, 3);
    for (const Cell& c : colours) palette->addColour(byteOf(c.red), byteOf(c.green), byteOf(c.blue));
    palette->SetIsExact(false);
    return palette;
}

std::unique_ptr<TDeviceIndependentBitmap> indexedExactly(TDeviceIndependentBitmap* dib, TLogicalPalette* palette) {
    std::unordered_map<std::uint32_t, std::uint8_t> index;
    for (int i = palette->GetCount() - 1; i >= 0; --i) {
        index[std::uint32_t(palette->GetRed(i)) << 16 | std::uint32_t(palette->GetGreen(i)) << 8 |
              palette->GetBlue(i)] = std::uint8_t(i);
    }
    auto out = std::make_unique<TDeviceIndependentBitmap>(TDIBFormat::dt8bit, dib->GetWidth(), dib->GetHeight());
    out->SetColourTable(palette);
    out->SetTransparent(dib->GetTransparent());
    out->SetTransparentColour(dib->GetTransparentColour());
    std::unique_ptr<TDIBWriter> writer = out->GetWriter();
    auto* mapped = static_cast<TDIBMappedWriter*>(writer.get());
    std::unique_ptr<TDIBReader> reader = dib->GetReader();
    std::uint8_t r, g, b;
    while (!reader->EndOfScan()) {
        while (reader->GetNextPixel(r, g, b)) {
            mapped->SetNextIndex(index.at(std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | b));
        }
        reader->NextRow();
        writer->NextRow();
    }
    return out;
}
