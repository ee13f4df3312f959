#include "imaging/bitmap_helpers.h"

#include <gtest/gtest.h>
#include <QPainter>

#include "test_support.h"
#include "toolkit/bitmap.h"
#include "toolkit/metafile.h"

namespace {

// Left half red, right half blue.
std::unique_ptr<TBitmap> halves(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    QPainter(&image).fillRect(QRect(width / 2, 0, width - width / 2, height), Qt::blue);
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetImage(image);
    return bitmap;
}

QRgb pixel(const std::unique_ptr<TBitmap>& bitmap, int x, int y) {
    return bitmap->Image().pixel(x, y) | 0xFF000000u;
}

// --- crop and resize ---

TEST(BitmapHelpers, ResizingGivesTheSizeAsked) {
    const std::unique_ptr<TBitmap> source = halves(100, 50);
    const std::unique_ptr<TBitmap> resized = ReSizeBitmap(source.get(), 50, 25);
    EXPECT_EQ(resized->Width(), 50);
    EXPECT_EQ(resized->Height(), 25);
    EXPECT_EQ(pixel(resized, 5, 12), qRgb(255, 0, 0));
    EXPECT_EQ(pixel(resized, 45, 12), qRgb(0, 0, 255));
    EXPECT_EQ(source->Width(), 100);
}

TEST(BitmapHelpers, CroppingShowsOnlyTheSourceRectangle) {
    const std::unique_ptr<TBitmap> source = halves(100, 50);
    const std::unique_ptr<TBitmap> cropped = CropBitmap(source.get(), 30, 30, QRect(50, 0, 50, 50));
    for (int x : {0, 15, 29}) EXPECT_EQ(pixel(cropped, x, 15), qRgb(0, 0, 255)) << x;
}

TEST(BitmapHelpers, ShrinkingAveragesThePixelsItMerges) {
    QImage checker(8, 8, QImage::Format_RGB32);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) checker.setPixel(x, y, (x + y) % 2 ? 0xFFFFFFFF : 0xFF000000);
    }
    TBitmap source;
    source.SetImage(checker);
    const std::unique_ptr<TBitmap> grey = ReSizeBitmap(&source, 2, 2);
    for (int x = 0; x < 2; ++x) {
        for (int y = 0; y < 2; ++y) EXPECT_NEAR(qGray(pixel(grey, x, y)), 128, 8);
    }
}

TEST(BitmapHelpers, TheResultCarriesTheSourcePalette) {
    const TColorTable palette = {qRgb(0, 0, 0), qRgb(200, 10, 10), qRgb(10, 200, 10)};
    QImage indexed(4, 4, QImage::Format_Indexed8);
    indexed.setColorTable(palette);
    indexed.fill(1);
    TBitmap source;
    source.SetImage(indexed);
    const std::unique_ptr<TBitmap> resized = ReSizeBitmap(&source, 2, 2);
    EXPECT_EQ(resized->Palette(), palette);
    EXPECT_EQ(pixel(resized, 1, 1), qRgb(200, 10, 10));
    EXPECT_TRUE(ReSizeBitmap(halves(4, 4).get(), 2, 2)->Palette().isEmpty());
}

TEST(BitmapHelpers, AnEmptySizeGivesAnEmptyBitmap) {
    EXPECT_TRUE(ReSizeBitmap(halves(4, 4).get(), 0, 3)->Empty());
    TBitmap empty;
    const std::unique_ptr<TBitmap> fromEmpty = ReSizeBitmap(&empty, 3, 3);
    EXPECT_EQ(fromEmpty->Width(), 3);
    EXPECT_EQ(pixel(fromEmpty, 1, 1), qRgb(255, 255, 255));
}

// --- metafiles ---

TEST(BitmapHelpers, AMetafileIsScaledOntoAWhiteBitmap) {
    TMetafile metafile;
    QPainter painter(metafile.RecordingDevice());
    painter.fillRect(QRect(5, 0, 5, 10), Qt::green);
    painter.end();
    metafile.SetSize(10, 10);
    const std::unique_ptr<TBitmap> bitmap = MetaToBitmap(&metafile, 40, 20);
    EXPECT_EQ(bitmap->Width(), 40);
    EXPECT_EQ(bitmap->Height(), 20);
    EXPECT_EQ(pixel(bitmap, 10, 10), qRgb(255, 255, 255));
    EXPECT_EQ(pixel(bitmap, 30, 10), qRgb(0, 255, 0));
}

TEST(BitmapHelpers, AnEmptyMetafileIsReportedWithTheReason) {
    TMetafile empty;
    empty.SetSize(4, 4);
    expectThrowWithMessage<Exception>(
        [&] { MetaToBitmap(&empty, 4, 4); },
        "Unable to render metafile as a bitmap - PlayEnhMetaFile returned 6");
}

}  // namespace
