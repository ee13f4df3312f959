#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>

#include "imaging/Zvqcomp.h"
#include "imaging/device_independent_bitmap.h"
#include "raw_codec.h"
#include "test_support.h"
#include "toolkit/bitmap.h"
#include "toolkit/picture.h"
#include "toolkit/streams.h"

namespace {

// Red, green / blue, white: the image of the test resource too.
QImage quadrants() {
    QImage image(2, 2, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(255, 0, 0));
    image.setPixel(1, 0, qRgb(0, 255, 0));
    image.setPixel(0, 1, qRgb(0, 0, 255));
    image.setPixel(1, 1, qRgb(255, 255, 255));
    return image;
}

QImage gradient(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(x * 7, y * 5, 99));
    }
    return image;
}

QImage pixelsOf(const TBitmap* bitmap) {
    return bitmap->Image().convertToFormat(QImage::Format_RGB32);
}

class GraphicsDecompressor : public ::testing::Test {
protected:
    QString writeFile(const QByteArray& bytes) {
        const QString fileName = dir.filePath("image.raw");
        QFile file(fileName);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return fileName;
    }

    RawDecoder decoder;
    TPicture picture;
    QTemporaryDir dir;
};

// --- streams ---

TEST_F(GraphicsDecompressor, APictureTakesTheDecodedBitmap) {
    TMemoryStream stream(rawImageBytes(quadrants()));
    decoder.LoadPictureFromStream(&picture, &stream);
    ASSERT_TRUE(picture.hasBitmap());
    EXPECT_EQ(pixelsOf(picture.Bitmap()), quadrants());
    EXPECT_EQ(decoder.GetImageStream(), &stream);
}

TEST_F(GraphicsDecompressor, NoImageLeavesThePictureEmpty) {
    picture.Bitmap()->SetSize(3, 3);
    TMemoryStream stream;
    decoder.LoadPictureFromStream(&picture, &stream);
    EXPECT_FALSE(picture.hasBitmap());
    EXPECT_TRUE(picture.Empty());
}

TEST_F(GraphicsDecompressor, ANullPictureIsRefusedBeforeReading) {
    TMemoryStream stream(rawImageBytes(quadrants()));
    expectThrowWithMessage<Exception>([&] { decoder.LoadPictureFromStream(nullptr, &stream); },
                                      "The Image Property is empty!");
    EXPECT_EQ(stream.Position(), 0);
}

TEST_F(GraphicsDecompressor, BitmapsAreAskedInTheScreensFormat) {
    // The offscreen platform is a true-colour screen.
    TMemoryStream stream(rawImageBytes(quadrants()));
    const std::unique_ptr<TBitmap> bitmap = decoder.ReadBitMapFromStream(&stream);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(decoder.log.formatAsked, TDIBFormat::dt24bit);
    TMemoryStream empty;
    EXPECT_EQ(decoder.ReadBitMapFromStream(&empty), nullptr);
}

TEST_F(GraphicsDecompressor, ConsecutiveImagesComeFromOneStream) {
    TMemoryStream stream(rawImageBytes(quadrants()) + rawImageBytes(gradient(3, 1)));
    const auto first = decoder.ReadDIBitmapFromStream(&stream, TDIBFormat::dt8bit);
    EXPECT_EQ(decoder.log.formatAsked, TDIBFormat::dt8bit);
    const auto second = decoder.ReadDIBitmapFromStream(&stream, TDIBFormat::dt32bit);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->toImage(), quadrants());
    EXPECT_EQ(second->toImage(), gradient(3, 1));
    EXPECT_TRUE(decoder.GetEOF());
    EXPECT_EQ(decoder.log.closes, 0);
}

// --- files ---

TEST_F(GraphicsDecompressor, AFileIsReadAndItsImageStreamClosed) {
    decoder.LoadPictureFromFile(&picture, writeFile(rawImageBytes(gradient(30, 20))));
    EXPECT_EQ(pixelsOf(picture.Bitmap()), gradient(30, 20));
    EXPECT_EQ(decoder.GetImageStream(), nullptr);
    EXPECT_EQ(decoder.log.closes, 1);
    EXPECT_GE(decoder.log.progressReports, 4);
}

TEST_F(GraphicsDecompressor, ATruncatedFileClosesTheImageStreamAndKeepsThePicture) {
    const QString fileName = writeFile(rawImageBytes(gradient(30, 20)).left(100));
    picture.Bitmap()->SetSize(3, 3);
    expectThrowWithMessage<EReadError>([&] { decoder.LoadPictureFromFile(&picture, fileName); },
                                       "Stream read error");
    EXPECT_EQ(decoder.GetImageStream(), nullptr);
    EXPECT_EQ(decoder.log.closes, 1);
    EXPECT_EQ(picture.Width(), 3);
}

TEST_F(GraphicsDecompressor, AnAbortStopsTheLoadAndIsThenForgotten) {
    const QString fileName = writeFile(rawImageBytes(gradient(30, 20)));
    decoder.OnProgressReport = [&](TObject*) { decoder.Abort(); };
    expectThrowWithMessage<Exception>([&] { decoder.LoadPictureFromFile(&picture, fileName); },
                                      "User Abort");
    EXPECT_FALSE(decoder.GetAborted());
    EXPECT_EQ(decoder.GetImageStream(), nullptr);
    EXPECT_TRUE(picture.Empty());
}

TEST_F(GraphicsDecompressor, AMissingFileIsReported) {
    const QString fileName = dir.filePath("none.raw");
    expectThrowWithMessage<EFOpenError>([&] { decoder.LoadPictureFromFile(&picture, fileName); },
                                        QString("Cannot open file \"%1\"").arg(fileName));
}

// --- program resources ---

TEST_F(GraphicsDecompressor, AResourceIsFoundByIdOrNameUnderTheCodecsType) {
    decoder.LoadPictureFromResID(&picture, 7);
    EXPECT_EQ(pixelsOf(picture.Bitmap()), quadrants());
    EXPECT_EQ(decoder.GetImageStream(), nullptr);
    picture.Clear();
    decoder.LoadPictureFromResource(&picture, "QUADRANTS");
    EXPECT_EQ(pixelsOf(picture.Bitmap()), quadrants());
    EXPECT_EQ(decoder.log.closes, 2);
}

TEST_F(GraphicsDecompressor, AMissingResourceIsReported) {
    expectThrowWithMessage<EResNotFound>([&] { decoder.LoadPictureFromResID(&picture, 8); },
                                         "Resource RAWTEST/8 not found");
    expectThrowWithMessage<EResNotFound>(
        [&] { decoder.LoadPictureFromResource(&picture, "quadrants"); },
        "Resource RAWTEST/quadrants not found");
}

}  // namespace
