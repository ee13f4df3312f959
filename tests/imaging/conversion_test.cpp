#include <gtest/gtest.h>

#include "bmp_builder.h"
#include "imaging/Zvqgraph.h"
#include "test_support.h"

namespace {

std::unique_ptr<TDeviceIndependentBitmap> gradient(int width, int height) {
    auto dib = std::make_unique<TDeviceIndependentBitmap>(TDIBFormat::dt24bit, width, height);
    auto writer = dib->GetWriter();
    int y = 0;
    do {
        for (int x = 0; writer->SetNextPixel(std::uint8_t(x * 255 / width), std::uint8_t(y * 255 / height),
                                             std::uint8_t((x + y) * 4));
             ++x) {
        }
        ++y;
    } while (writer->NextRow());
    return dib;
}

}  // namespace

TEST(Conversion, TrueColourToEightBitBuildsMedianCutPalette) {
    auto source = gradient(64, 48);
    source->SetTransparent(true);
    source->SetTransparentColour(RGB(1, 2, 3));
    source->SetAspectRatio(2.0);
    int rows = 0;
    TDeviceIndependentBitmap target(source.get(), TDIBFormat::dt8bit, nullptr, ditherClassOf<TFSDitherer>(),
                                    [&](TObject*) { ++rows; });
    EXPECT_EQ(rows, 48);
    TQuantizedPalette expected(source.get(), 256);
    ASSERT_EQ(int(target.headerWord(DibHeader::kClrUsed)), expected.GetCount());
    for (int i = 0; i < expected.GetCount(); ++i) {
        EXPECT_EQ(target.GetColourTable()[i].rgbRed, expected.GetRed(i));
        EXPECT_EQ(target.GetColourTable()[i].rgbBlue, expected.GetBlue(i));
    }
    EXPECT_EQ(target.GetWidth(), 64);
    EXPECT_EQ(target.GetHeight(), 48);
    EXPECT_TRUE(target.GetTransparent());
    EXPECT_EQ(target.GetTransparentColour(), RGB(1, 2, 3));
    EXPECT_EQ(target.headerWord(DibHeader::kXPelsPerMeter), source->headerWord(DibHeader::kXPelsPerMeter));
    EXPECT_DOUBLE_EQ(target.GetAspectRatio(), source->GetAspectRatio());
}

TEST(Conversion, NoDitherTakesTheNearestEntry) {
    auto source = gradient(20, 10);
    TLogicalPalette palette(TDefaultPalettes::dpColour);
    TDeviceIndependentBitmap target(source.get(), TDIBFormat::dt8bit, &palette, ditherClassOf<TNoDither>());
    auto in = source->GetReader();
    auto out = target.GetReader();
    auto& mapped = dynamic_cast<TDIBMappedReader&>(*out);
    std::uint8_t r, g, b, index;
    do {
        while (in->GetNextPixel(r, g, b)) {
            ASSERT_TRUE(mapped.GetNextColourIndex(index));
            EXPECT_EQ(index, palette.GetNearestIndex(r, g, b));
        }
        out->NextRow();
    } while (in->NextRow());
    EXPECT_EQ(palette.GetCount(), 20);  // the caller's palette is left alone
    EXPECT_EQ(target.headerWord(DibHeader::kClrUsed), 20u);
}

TEST(Conversion, PalettedSourceKeepsItsColourTable) {
    BmpLayout layout;
    layout.width = 4;
    layout.bits = 8;
    layout.clrUsed = 3;
    layout.table = {0xFF0000, 0x00FF00, 0x0000FF};
    layout.pixels = QByteArray("\x00\x01\x02\x01", 4);
    const auto source = loadBmp(buildBmp(layout));
    TDeviceIndependentBitmap target(source.get(), TDIBFormat::dt4bit, nullptr, ditherClassOf<TFSDitherer>());
    EXPECT_EQ(target.headerWord(DibHeader::kClrUsed), 3u);
    EXPECT_EQ(target.GetInfoSize(), 52);
    EXPECT_EQ(target.GetBits()[0], 0x01);
    EXPECT_EQ(target.GetBits()[1], 0x21);
    EXPECT_EQ(target.toImage(), source->toImage());
}

TEST(Conversion, TooManyColoursForTheTargetAreReduced) {
    auto source = gradient(30, 30);
    TDeviceIndependentBitmap mono(source.get(), TDIBFormat::dtMonochrome, nullptr, ditherClassOf<TNoDither>());
    EXPECT_EQ(mono.headerWord(DibHeader::kClrUsed), 2u);
    TDeviceIndependentBitmap eight(source.get(), TDIBFormat::dt8bit, nullptr, ditherClassOf<TNoDither>());
    TDeviceIndependentBitmap four(&eight, TDIBFormat::dt4bit, nullptr, ditherClassOf<TFSDitherer>());
    EXPECT_EQ(four.headerWord(DibHeader::kClrUsed), 16u);

    TLogicalPalette gray(TDefaultPalettes::dpGrayscale);
    expectThrowWithMessage<EDIBError>(
        [&] { TDeviceIndependentBitmap(source.get(), TDIBFormat::dt4bit, &gray, ditherClassOf<TNoDither>()); },
        QStringLiteral("Unable to change DIB Colour Table"));
}

TEST(Conversion, TrueColourTargetsCopyColours) {
    auto source = gradient(9, 5);
    TLogicalPalette ignored(TDefaultPalettes::dpGrayscale);
    TDeviceIndependentBitmap wide(source.get(), TDIBFormat::dt32bit, &ignored, ditherClassOf<TFSDitherer>());
    EXPECT_EQ(wide.toImage(), source->toImage());
    TDeviceIndependentBitmap narrow(source.get(), TDIBFormat::dt16bit, nullptr, ditherClassOf<TNoDither>());
    const QImage image = narrow.toImage();
    EXPECT_EQ(image.pixel(8, 4), qRgb(qRed(source->toImage().pixel(8, 4)) & 0xF8,
                                      qGreen(source->toImage().pixel(8, 4)) & 0xF8,
                                      qBlue(source->toImage().pixel(8, 4)) & 0xF8));
}

TEST(Conversion, ConstSourceConvertsAsAnyOther) {
    auto source = gradient(33, 17);
    const TDeviceIndependentBitmap* constSource = source.get();
    int rows = 0;
    const TDeviceIndependentBitmap fromConst(constSource, TDIBFormat::dt8bit, nullptr,
                                             ditherClassOf<TFSDitherer>(),
                                             [&](TObject*) { ++rows; });
    const TDeviceIndependentBitmap fromMutable(source.get(), TDIBFormat::dt8bit, nullptr,
                                               ditherClassOf<TFSDitherer>());
    EXPECT_EQ(rows, 17);
    ASSERT_EQ(fromConst.GetBlockSize(), fromMutable.GetBlockSize());
    EXPECT_EQ(
        QByteArray(reinterpret_cast<const char*>(fromConst.GetHeader()), fromConst.GetBlockSize()),
        QByteArray(reinterpret_cast<const char*>(fromMutable.GetHeader()),
                   fromMutable.GetBlockSize()));

    TDeviceIndependentBitmap copy(TDIBFormat::dt24bit, 33, 17);
    copy.GetWriter()->CopyDIB(constSource);
    EXPECT_EQ(copy.toImage(), constSource->toImage());
    EXPECT_EQ(copy.pixelColour(32, 16), RGB(32 * 255 / 33, 16 * 255 / 17, (32 + 16) * 4));
}
