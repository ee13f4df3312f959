#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <random>

#include "gif/palette_refinement.h"
#include "imaging/Zvqgraph.h"

namespace {

// The colour of the entry nearest by plain RGB distance.
TRGBQuad nearestByHand(const TLogicalPalette& palette, int red, int green, int blue) {
    int best = 0, bestDistance = INT_MAX;
    for (int i = 0; i < palette.GetCount(); ++i) {
        const int dr = palette.GetRed(i) - red, dg = palette.GetGreen(i) - green, db = palette.GetBlue(i) - blue;
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    TRGBQuad quad{};
    quad.rgbRed = palette.GetRed(best);
    quad.rgbGreen = palette.GetGreen(best);
    quad.rgbBlue = palette.GetBlue(best);
    return quad;
}

}  // namespace

// Without dithering each pixel takes the entry nearest to the centre of its
// cell of 4 x 4 x 4 values, whatever block of cells it lies in: with the
// palette gathered in one corner of the cube (blocks far from it keep many
// candidates) and spread over all of it.
TEST(PaletteRefinement, UnditheredPixelsTakeTheEntryNearestTheirCell) {
    for (const int spread : {48, 256}) {
        std::mt19937 random{unsigned(spread)};
        TLogicalPalette palette;
        palette.ReAlloc(256);
        for (int i = 0; i < 256; ++i) {
            palette.addColour(std::uint8_t(random() % unsigned(spread)), std::uint8_t(random() % unsigned(spread)),
                              std::uint8_t(random() % unsigned(spread)));
        }
        TDeviceIndependentBitmap source(TDIBFormat::dt24bit, 200, 150);
        {
            auto writer = source.GetWriter();
            do {
                while (writer->SetNextPixel(std::uint8_t(random()), std::uint8_t(random()), std::uint8_t(random()))) {
                }
            } while (writer->NextRow());
        }
        const auto indexed = indexedFaithfully(&source, &palette, false);
        auto from = source.GetReader();
        auto to = indexed->GetReader();
        from->Reset(0, 1);
        to->Reset(0, 1);
        int wrong = 0;
        do {
            std::uint8_t r, g, b, ir, ig, ib;
            while (from->GetNextPixel(r, g, b) && to->GetNextPixel(ir, ig, ib)) {
                const TRGBQuad want = nearestByHand(palette, (r & ~3) + 2, (g & ~3) + 2, (b & ~3) + 2);
                wrong += want.rgbRed != ir || want.rgbGreen != ig || want.rgbBlue != ib;
            }
            to->NextRow();
        } while (from->NextRow());
        EXPECT_EQ(wrong, 0) << "palette spread " << spread;
    }
}

namespace {

// A picture of `bases.size()` colours, 49 pixels in 50 exactly so and the
// rest off by up to 6 in each channel: hundreds of colours, few that show.
std::unique_ptr<TDeviceIndependentBitmap> nearColours(const std::vector<TRGBQuad>& bases) {
    std::mt19937 random{7};
    auto dib = std::make_unique<TDeviceIndependentBitmap>(TDIBFormat::dt24bit, 160, 120);
    auto writer = dib->GetWriter();
    bool off = false;
    const auto near = [&](std::uint8_t value) {
        return off ? std::uint8_t(std::clamp(int(value) + int(random() % 13) - 6, 0, 255)) : value;
    };
    int at = 0;
    do {
        for (bool more = true; more; ++at) {
            const TRGBQuad& base = bases[std::size_t(at / 7) % bases.size()];
            off = random() % 50 == 0;
            more = writer->SetNextPixel(near(base.rgbRed), near(base.rgbGreen), near(base.rgbBlue));
        }
    } while (writer->NextRow());
    return dib;
}

// The mean squared RGB distance of the picture's pixels to their nearest
// entries.
double meanError(TDeviceIndependentBitmap& dib, const TLogicalPalette& palette) {
    auto reader = dib.GetReader();
    reader->Reset(0, 1);
    double error = 0, pixels = 0;
    do {
        std::uint8_t r, g, b;
        while (reader->GetNextPixel(r, g, b)) {
            const TRGBQuad near = nearestByHand(palette, r, g, b);
            const int dr = near.rgbRed - r, dg = near.rgbGreen - g, db = near.rgbBlue - b;
            error += dr * dr + dg * dg + db * db;
            ++pixels;
        }
    } while (reader->NextRow());
    return error / pixels;
}

}  // namespace

// With a bound on the error, a picture of many colours but few that show
// gets not many more than show, each close to its pixels; without one it
// gets a colour for each of its histogram's cells. Eight colours that
// stand apart stay eight, though seven would leave a GIF table an index
// free.
TEST(PaletteRefinement, ABoundOnTheErrorGivesOnlyTheColoursThatShow) {
    for (const std::vector<TRGBQuad>& bases :
         {std::vector<TRGBQuad>{{30, 30, 30, 0}, {52, 226, 138, 0}, {207, 215, 211, 0}},
          std::vector<TRGBQuad>{{20, 20, 20, 0}, {230, 20, 20, 0}, {20, 230, 20, 0}, {20, 20, 230, 0},
                                {230, 230, 20, 0}, {230, 20, 230, 0}, {20, 230, 230, 0}, {230, 230, 230, 0}}}) {
        const std::unique_ptr<TDeviceIndependentBitmap> dib = nearColours(bases);
        const std::unique_ptr<TLogicalPalette> whole = refinedPalette(dib.get(), 256);
        EXPECT_FALSE(whole->GetIsExact());
        const std::unique_ptr<TLogicalPalette> bounded = refinedPalette(dib.get(), 256, 1.0);
        EXPECT_GE(bounded->GetCount(), int(bases.size()));
        EXPECT_LE(bounded->GetCount(), 16);
        EXPECT_LT(bounded->GetCount(), whole->GetCount() / 4);
        EXPECT_LE(meanError(*dib, *bounded), 1.0) << bases.size() << " colours";
        for (const TRGBQuad& base : bases) {
            const TRGBQuad near = nearestByHand(*bounded, base.rgbRed, base.rgbGreen, base.rgbBlue);
            EXPECT_LE(std::abs(near.rgbRed - base.rgbRed) + std::abs(near.rgbGreen - base.rgbGreen) +
                          std::abs(near.rgbBlue - base.rgbBlue),
                      2);
        }
    }
}
