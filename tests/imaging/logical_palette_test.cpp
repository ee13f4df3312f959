#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <random>

#include "imaging/Zvqgraph.h"
#include "test_support.h"

namespace {

std::unique_ptr<TLogicalPalette> paletteOf(std::initializer_list<QRgb> colours) {
    TColorTable table(colours);
    return std::make_unique<TLogicalPalette>(&table);
}

int square(int value) {
    return value * value;
}

// One axis of a colour's box: the range its cell centres span and the
// axis's weight in the distance.
struct BoxAxis {
    int low, high, scale;
    int least(int value) const {
        return square(scale * (value < low ? low - value : value > high ? value - high : 0));
    }
    int greatest(int value) const {
        return square(scale * std::max(std::abs(value - low), std::abs(value - high)));
    }
};

int distanceToCellCentre(const TLogicalPalette& palette, int index, int r, int g, int b) {
    const int cr = (r / 8) * 8 + 4, cg = (g / 4) * 4 + 2, cb = (b / 8) * 8 + 4;
    return square(2 * (cr - palette.GetRed(index))) + square(3 * (cg - palette.GetGreen(index))) +
           square(cb - palette.GetBlue(index));
}

// The entry the search must give, found the slow way. Only entries that
// can be nearest somewhere in the colour's box compete: those whose least
// distance from the box is strictly below the smallest greatest distance
// of any entry. Of them, the one nearest to the centre of the colour's
// cell wins, the lowest index on a tie. An entry whose least distance
// equals that bound is left out even where it ties with the winner.
int searchOracle(const TLogicalPalette& palette, int r, int g, int b) {
    const BoxAxis red{(r / 32) * 32 + 4, (r / 32) * 32 + 28, 2};
    const BoxAxis green{(g / 32) * 32 + 2, (g / 32) * 32 + 30, 3};
    const BoxAxis blue{(b / 32) * 32 + 4, (b / 32) * 32 + 28, 1};
    int bound = INT_MAX;
    for (int i = 0; i < palette.GetCount(); ++i) {
        const int greatest = red.greatest(palette.GetRed(i)) + green.greatest(palette.GetGreen(i)) +
                             blue.greatest(palette.GetBlue(i));
        bound = std::min(bound, greatest);
    }
    int best = 0, bestDistance = INT_MAX;
    for (int i = 0; i < palette.GetCount(); ++i) {
        const int least = red.least(palette.GetRed(i)) + green.least(palette.GetGreen(i)) +
                          blue.least(palette.GetBlue(i));
        if (least >= bound) continue;
        const int d = distanceToCellCentre(palette, i, r, g, b);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

// The cached and the uncached search both give the oracle's entry.
void expectSearchMatchesOracle(TLogicalPalette& palette, TLogicalPalette& cached, int r, int g,
                               int b) {
    const int expected = searchOracle(palette, r, g, b);
    ASSERT_EQ(palette.GetNearestIndex(std::uint8_t(r), std::uint8_t(g), std::uint8_t(b)), expected)
        << r << "," << g << "," << b;
    ASSERT_EQ(cached.GetNearestIndex(std::uint8_t(r), std::uint8_t(g), std::uint8_t(b)), expected)
        << r << "," << g << "," << b;
}

std::unique_ptr<TLogicalPalette> cachedCopy(TLogicalPalette& palette) {
    auto cached = std::make_unique<TLogicalPalette>();
    cached->Assign(&palette);
    cached->InitCache();
    return cached;
}

}  // namespace

TEST(LogicalPalette, DefaultPalettes) {
    const TLogicalPalette gray(TDefaultPalettes::dpGrayscale);
    ASSERT_EQ(gray.GetCount(), 64);
    EXPECT_EQ(gray.GetPalEntry(0), 0u);
    EXPECT_EQ(gray.GetRed(21), 128);
    EXPECT_EQ(gray.GetBlue(21), 128);
    EXPECT_EQ(gray.GetColour(63), RGB(255, 255, 255));
    EXPECT_TRUE(gray.GetIsExact());

    const TLogicalPalette colour(TDefaultPalettes::dpColour);
    ASSERT_EQ(colour.GetCount(), 20);
    EXPECT_EQ(colour.GetColour(1), RGB(128, 0, 0));
    EXPECT_EQ(colour.GetColour(19), RGB(255, 255, 255));
    EXPECT_EQ(TLogicalPalette().GetCount(), 0);
}

TEST(LogicalPalette, NearestIsTheSameWithAndWithoutCache) {
    auto bw = paletteOf({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    EXPECT_EQ(bw->GetNearestIndex(100, 100, 100), 0);
    EXPECT_EQ(bw->GetNearestIndex(140, 140, 140), 1);
    bw->InitCache();
    EXPECT_EQ(bw->GetNearestIndex(100, 100, 100), 0);
    EXPECT_EQ(bw->GetNearestIndex(140, 140, 140), 1);
}

TEST(LogicalPalette, SearchOnRandomPalettesMatchesTheSlowWay) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> channel(0, 255);
    for (int size : {1, 3, 17, 256}) {
        TLogicalPalette palette;
        palette.ReAlloc(size);
        for (int i = 0; i < size; ++i) {
            palette.addColour(std::uint8_t(channel(random)), std::uint8_t(channel(random)),
                              std::uint8_t(channel(random)));
        }
        auto cached = cachedCopy(palette);
        for (int n = 0; n < 3000; ++n) {
            const int r = channel(random), g = channel(random), b = channel(random);
            expectSearchMatchesOracle(palette, *cached, r, g, b);
        }
    }
}

TEST(LogicalPalette, EntryTyingExactlyAtTheBoundIsNoCandidate) {
    // Entry 1 lies at the centre of the first box, whose farthest cell
    // centre (28, 30, 28) is 2484 away from it: that is the bound. Entry 0
    // mirrors it through that corner, so its least distance from the box is
    // the bound itself: it is left out, although in the corner's cell it is
    // exactly as near as entry 1 and has the lower index.
    auto palette = paletteOf({qRgb(40, 44, 40), qRgb(16, 16, 16)});
    ASSERT_EQ(distanceToCellCentre(*palette, 0, 28, 30, 28), 2484);
    ASSERT_EQ(distanceToCellCentre(*palette, 1, 28, 30, 28), 2484);
    EXPECT_EQ(searchOracle(*palette, 28, 30, 28), 1);
    auto cached = cachedCopy(*palette);
    for (int r = 0; r < 64; r += 8)
        for (int g = 0; g < 64; g += 4)
            for (int b = 0; b < 64; b += 8) expectSearchMatchesOracle(*palette, *cached, r, g, b);
}

TEST(LogicalPalette, WeightedDistanceAndTies) {
    // Plain Euclidean distance would pick entry 0 (400 against 900).
    auto weighted = paletteOf({qRgb(120, 102, 100), qRgb(100, 102, 130)});
    EXPECT_EQ(weighted->GetNearestIndex(100, 100, 100), 1);
    // Equal entries: the lower index wins.
    auto twins = paletteOf({qRgb(10, 10, 10), qRgb(50, 50, 50), qRgb(50, 50, 50)});
    twins->InitCache();
    EXPECT_EQ(twins->GetNearestIndex(52, 50, 50), 1);
    // Equidistant from the cell centre (4, 2, 4).
    auto even = paletteOf({qRgb(8, 2, 4), qRgb(0, 2, 4)});
    EXPECT_EQ(even->GetNearestIndex(3, 2, 3), 0);
}

TEST(LogicalPalette, EmptyPaletteAnswersZero) {
    TLogicalPalette empty;
    EXPECT_EQ(empty.GetNearestIndex(1, 2, 3), 0);
    empty.InitCache();
    EXPECT_EQ(empty.GetNearestIndex(1, 2, 3), 0);
    int er = 1, eg = 1, eb = 1;
    EXPECT_EQ(empty.ResolveColours(9, 9, 9, er, eg, eb), 0);
    EXPECT_EQ(er, 0);
}

TEST(LogicalPalette, IndexErrors) {
    auto palette = paletteOf({qRgb(1, 2, 3)});
    expectThrowWithMessage<ELogPalError>([&] { palette->GetRed(1); },
                                         QStringLiteral("Invalid palette index (1)"));
    expectThrowWithMessage<ELogPalError>([&] { palette->SetBlue(-1, 0); },
                                         QStringLiteral("Invalid palette index (-1)"));
    std::uint8_t r, g, b;
    try {
        palette->GetRGBColours(1, r, g, b);
        ADD_FAILURE() << "no exception";
    } catch (const ELogPalError&) {
        ADD_FAILURE() << "the channel getters' class";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Invalid palette index (1)"));
    }
    EXPECT_THROW(palette->GetPalEntry(5), Exception);
}

TEST(LogicalPalette, ColoursAndSubPalettes) {
    auto palette = paletteOf({qRgb(1, 2, 3), qRgb(4, 5, 6), qRgb(7, 8, 9)});
    EXPECT_EQ(palette->GetPalEntry(1), 0x060504u);
    EXPECT_EQ(palette->GetColourIndex(RGB(7, 8, 9)), 2);
    EXPECT_EQ(palette->GetColourIndex(RGB(7, 8, 10)), 0);
    EXPECT_EQ(TLogicalPalette::RGBToColor(1, 2, 3), 0x030201u);
    std::uint8_t r, g, b;
    TLogicalPalette::ColorToRGB(0x80030201u, r, g, b);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(b, 3);

    auto prefix = paletteOf({qRgb(1, 2, 3), qRgb(4, 5, 6)});
    auto lastDiffers = paletteOf({qRgb(1, 2, 3), qRgb(4, 5, 7)});
    EXPECT_TRUE(palette->IsSubPalette(palette.get()));
    EXPECT_TRUE(palette->IsSubPalette(prefix.get()));
    EXPECT_FALSE(palette->IsSubPalette(lastDiffers.get()));
    EXPECT_FALSE(prefix->IsSubPalette(palette.get()));
}

TEST(LogicalPalette, AssignCopiesEntriesAndDropsCache) {
    auto source = paletteOf({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    TLogicalPalette copy(TDefaultPalettes::dpGrayscale);
    copy.InitCache();
    copy.SetIsExact(false);
    copy.Assign(source.get());
    EXPECT_FALSE(copy.hasCache());
    EXPECT_EQ(copy.GetCount(), 2);
    EXPECT_EQ(copy.GetNearestIndex(200, 200, 200), 1);
    EXPECT_FALSE(copy.GetIsExact());

    TDeviceIndependentBitmap dib(TDIBFormat::dt4bit, 1, 1);
    copy.Assign(&dib);
    EXPECT_EQ(copy.GetCount(), 16);
    TDeviceIndependentBitmap trueColour(TDIBFormat::dt24bit, 1, 1);
    copy.Assign(&trueColour);
    EXPECT_EQ(copy.GetCount(), 0);

    TBitmap bitmap;
    QImage image(1, 1, QImage::Format_Indexed8);
    image.setColorTable({qRgb(9, 8, 7)});
    bitmap.SetImage(image);
    copy.Assign(&bitmap);
    EXPECT_EQ(copy.GetColour(0), RGB(9, 8, 7));

    bitmap.Assign(source.get());
    EXPECT_EQ(bitmap.Palette(), (TColorTable{qRgb(0, 0, 0), qRgb(255, 255, 255)}));
    expectThrowWithMessage<EConvertError>(
        [&] { dib.Assign(source.get()); },
        QStringLiteral("Cannot assign a TLogicalPalette to a TDeviceIndependentBitmap"));
}

TEST(LogicalPalette, ACacheKeptOverFewerEntriesNeverAnswersPastThem) {
    // ReAlloc and the Copy... operations keep the cache: answers it holds
    // for entries that are gone must not be used (nor read).
    TLogicalPalette palette(TDefaultPalettes::dpGrayscale);
    int error[3];
    for (int level = 0; level < 256; level += 8) palette.ResolveColours(level, level, level, error[0], error[1], error[2]);
    ASSERT_TRUE(palette.hasCache());
    const TColorTable two{qRgb(0, 0, 0), qRgb(250, 250, 250)};
    palette.CopyFromHPalette(&two);
    ASSERT_TRUE(palette.hasCache());
    EXPECT_EQ(palette.GetNearestIndex(240, 240, 240), 1);
    EXPECT_EQ(palette.ResolveColours(248, 248, 248, error[0], error[1], error[2]), 1);
    EXPECT_EQ(error[0], -2);
    EXPECT_EQ(palette.ResolveColours(16, 16, 16, error[0], error[1], error[2]), 0);
    EXPECT_EQ(error[2], 16);
}

TEST(LogicalPalette, BuiltFromAListOfColoursKeepsTheirOrder) {
    const TLogicalPalette palette{RGB(255, 0, 0), RGB(0, 128, 0), clBlue, RGB(1, 2, 3)};
    ASSERT_EQ(palette.GetCount(), 4);
    EXPECT_EQ(palette.GetColour(0), RGB(255, 0, 0));
    EXPECT_EQ(palette.GetColour(1), RGB(0, 128, 0));
    EXPECT_EQ(palette.GetColour(2), clBlue);
    EXPECT_EQ(palette.GetRed(3), 1);
    EXPECT_EQ(palette.GetGreen(3), 2);
    EXPECT_EQ(palette.GetBlue(3), 3);
    EXPECT_EQ(TLogicalPalette(std::initializer_list<TColor>{}).GetCount(), 0);
}

TEST(LogicalPalette, BuiltFromAVectorTakesAtMost256Colours) {
    std::vector<TColor> colours;
    for (int i = 0; i < 300; ++i) colours.push_back(RGB(i % 256, i / 256, 7));
    const TLogicalPalette palette(colours);
    ASSERT_EQ(palette.GetCount(), TLogicalPalette::kMaxColours);
    for (int i = 0; i < palette.GetCount(); ++i)
        EXPECT_EQ(palette.GetColour(i), colours[std::size_t(i)]) << i;
    // The cached search works on it as on any other palette.
    TLogicalPalette searched(std::span<const TColor>(colours).first(3));
    searched.InitCache();
    EXPECT_EQ(searched.GetNearestIndex(2, 0, 7), 2);
}

TEST(LogicalPalette, ConstBitmapGivesItsColourTable) {
    TDeviceIndependentBitmap dib(TDIBFormat::dt4bit, 2, 2);
    const TLogicalPalette table{clWhite, RGB(10, 20, 30), clBlack};
    dib.SetColourTable(&table);
    const TDeviceIndependentBitmap& constDib = dib;
    const TLogicalPalette fromConst(&constDib);
    ASSERT_EQ(fromConst.GetCount(), 3);
    EXPECT_EQ(fromConst.GetColour(1), RGB(10, 20, 30));
    TLogicalPalette copied;
    copied.CopyDIBColourTable(&constDib);
    EXPECT_EQ(copied.GetCount(), 3);
    EXPECT_EQ(copied.GetColour(0), clWhite);

    const TDeviceIndependentBitmap trueColour(TDIBFormat::dt24bit, 2, 2);
    EXPECT_EQ(TLogicalPalette(&trueColour).GetCount(), 0);
}
