#include <gtest/gtest.h>

#include <set>

#include "imaging/Zvqgraph.h"
#include "test_support.h"

namespace {

// A 24-bit image whose pixels cycle through `colours`.
std::unique_ptr<TDeviceIndependentBitmap> imageOf(const std::vector<QRgb>& colours, int width, int height) {
    auto dib = std::make_unique<TDeviceIndependentBitmap>(TDIBFormat::dt24bit, width, height);
    auto writer = dib->GetWriter();
    std::size_t n = 0;
    do {
        while (true) {
            const QRgb c = colours[n % colours.size()];
            if (!writer->SetNextPixel(std::uint8_t(qRed(c)), std::uint8_t(qGreen(c)), std::uint8_t(qBlue(c)))) break;
            ++n;
        }
    } while (writer->NextRow());
    return dib;
}

std::vector<QRgb> distinctCells(int count) {
    std::vector<QRgb> colours;
    for (int i = 0; i < count; ++i) colours.push_back(qRgb((i * 8) % 256, ((i / 32) * 4) % 256, (i / 512) * 8));
    return colours;
}

}  // namespace

TEST(Quantizer, SingleColourGivesItsCellCorner) {
    auto dib = imageOf({qRgb(200, 100, 50)}, 4, 4);
    TQuantizedPalette palette(dib.get(), 256);
    ASSERT_EQ(palette.GetCount(), 1);
    EXPECT_EQ(palette.GetRed(0), 200);
    EXPECT_EQ(palette.GetGreen(0), 100);
    EXPECT_EQ(palette.GetBlue(0), 48);
    EXPECT_TRUE(palette.GetIsExact());
    EXPECT_TRUE(palette.hasCache());
    EXPECT_EQ(*palette.GetCacheCell(25, 25, 6), 1);
}

TEST(Quantizer, FewColoursStopSplittingEarly) {
    auto dib = imageOf({qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(0, 200, 0)}, 5, 5);
    TQuantizedPalette palette(dib.get(), 256);
    ASSERT_EQ(palette.GetCount(), 3);
    EXPECT_TRUE(palette.GetIsExact());
    std::set<TColor> colours;
    for (int i = 0; i < 3; ++i) colours.insert(palette.GetColour(i));
    EXPECT_EQ(colours, (std::set<TColor>{RGB(0, 0, 0), RGB(248, 252, 248), RGB(0, 200, 0)}));
    // Each colour maps straight to its own entry.
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(palette.GetNearestIndex(palette.GetRed(i), palette.GetGreen(i), palette.GetBlue(i)), i);
    }
}

TEST(Quantizer, ManyColoursGiveExactlyTheMaximum) {
    auto dib = imageOf(distinctCells(600), 40, 15);
    TQuantizedPalette full(dib.get(), 256);
    EXPECT_EQ(full.GetCount(), 256);
    EXPECT_FALSE(full.GetIsExact());
    TQuantizedPalette odd(dib.get(), 7);
    EXPECT_EQ(odd.GetCount(), 7);
    TQuantizedPalette one(dib.get(), 1);
    ASSERT_EQ(one.GetCount(), 1);
    EXPECT_FALSE(one.GetIsExact());
}

TEST(Quantizer, LimitsOnTheMaximum) {
    auto dib = imageOf({qRgb(1, 1, 1)}, 1, 1);
    expectThrowWithMessage<EQuantError>([&] { TQuantizedPalette(dib.get(), 257); },
                                        QStringLiteral("Too Many Colours Required"));
    expectThrowWithMessage<EQuantError>([&] { TQuantizedPalette(dib.get(), 0); },
                                        QStringLiteral("Too Few Colours Required"));
    TDeviceIndependentBitmap empty(TDIBFormat::dt24bit, 0, 0);
    expectThrowWithMessage<EQuantError>([&] { TQuantizedPalette(&empty, 16); },
                                        QStringLiteral("Unable to find Colour in Red Plane"));
}

TEST(Quantizer, MedianIsTheMeanOfCellUpperCorners) {
    // Two cells on the green axis: (0, 0, 0) and (0, 2, 0) in cells.
    auto dib = imageOf({qRgb(0, 0, 0), qRgb(0, 8, 0), qRgb(0, 8, 0), qRgb(0, 8, 0)}, 4, 1);
    TQuantizedPalette palette(dib.get(), 1);
    ASSERT_EQ(palette.GetCount(), 1);
    EXPECT_EQ(palette.GetRed(0), 7);
    EXPECT_EQ(palette.GetGreen(0), 7);  // (3 + 11 + 1) / 2, whatever the pixel counts
    EXPECT_EQ(palette.GetBlue(0), 7);
}

TEST(Quantizer, EqualRedAndGreenExtentsSplitOnGreen) {
    // Cells (0,0,0), (3,0,0) and (0,4,0): red and green extents are both 48.
    // A green cut keeps the first two together, a red cut would not.
    auto dib = imageOf({qRgb(0, 0, 0), qRgb(24, 0, 0), qRgb(0, 16, 0)}, 3, 1);
    TQuantizedPalette palette(dib.get(), 2);
    ASSERT_EQ(palette.GetCount(), 2);
    EXPECT_EQ(palette.GetColour(0), RGB(0, 16, 0));
    EXPECT_EQ(palette.GetColour(1), RGB(19, 3, 7));
    EXPECT_FALSE(palette.GetIsExact());
}

TEST(Quantizer, HistogramCountersSaturateInsteadOfWrapping) {
    // 65536 pixels of one colour would wrap a 16-bit counter back to 0.
    auto dib = imageOf({qRgb(255, 0, 0)}, 256, 256);
    TQuantizedPalette palette(dib.get(), 4);
    ASSERT_EQ(palette.GetCount(), 1);
    EXPECT_EQ(palette.GetColour(0), RGB(248, 0, 0));
}

TEST(Quantizer, AssignFromAnotherImageRebuilds) {
    auto first = imageOf({qRgb(0, 0, 0)}, 2, 2);
    auto second = imageOf({qRgb(255, 255, 255), qRgb(0, 0, 255)}, 2, 2);
    TQuantizedPalette palette(first.get(), 16);
    palette.Assign(second.get());
    ASSERT_EQ(palette.GetCount(), 2);
    // The black cell of the first build must not answer any more.
    EXPECT_NE(palette.GetColour(palette.GetNearestIndex(0, 0, 0)), RGB(0, 0, 0));
}

TEST(Quantizer, ConstSourceGivesTheSamePalette) {
    auto dib = imageOf(distinctCells(600), 40, 30);
    TQuantizedPalette fromMutable(dib.get(), 64);
    const TDeviceIndependentBitmap* constDib = dib.get();
    TQuantizedPalette fromConst(constDib, 64);
    ASSERT_EQ(fromConst.GetCount(), 64);
    ASSERT_EQ(fromConst.GetCount(), fromMutable.GetCount());
    for (int i = 0; i < fromConst.GetCount(); ++i)
        EXPECT_EQ(fromConst.GetColour(i), fromMutable.GetColour(i)) << i;
}
