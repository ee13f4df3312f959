#include <gtest/gtest.h>

#include <climits>
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
