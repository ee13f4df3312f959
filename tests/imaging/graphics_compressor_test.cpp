#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

#include "imaging/Zvqcomp.h"
#include "imaging/device_independent_bitmap.h"
#include "raw_codec.h"
#include "test_support.h"
#include "toolkit/bitmap.h"
#include "toolkit/metafile.h"
#include "toolkit/picture.h"
#include "toolkit/streams.h"

namespace {

QImage stripes() {
    QImage image(4, 2, QImage::Format_RGB32);
    const QRgb colours[] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(10, 20, 30)};
    for (int x = 0; x < 4; ++x) {
        for (int y = 0; y < 2; ++y) image.setPixel(x, y, colours[x]);
    }
    return image;
}

std::unique_ptr<TBitmap> bitmapOf(const QImage& image) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetImage(image);
    return bitmap;
}

// A 10 x 10 frame whose top-left quarter is black.
void recordQuarter(TMetafile& metafile) {
    QPainter painter(metafile.RecordingDevice());
    painter.fillRect(QRect(0, 0, 5, 5), Qt::black);
    painter.end();
    metafile.SetSize(10, 10);
}

QByteArray fileBytes(const QString& fileName) {
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class GraphicsCompressor : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }

    RawEncoder encoder;
    TMemoryStream stream;
    QTemporaryDir dir;
};

// --- streams ---

TEST_F(GraphicsCompressor, ABitmapReachesTheCodecInItsInputType) {
    const std::unique_ptr<TBitmap> bitmap = bitmapOf(stripes());
    encoder.SaveBitMapToStream(bitmap.get(), &stream);
    EXPECT_EQ(stream.bytes(), rawImageBytes(stripes()));
    EXPECT_EQ(encoder.log.formatAsked, TDIBFormat::dt24bit);
    EXPECT_EQ(encoder.GetImageStream(), &stream);
}

TEST_F(GraphicsCompressor, ADibIsPassedAsItIs) {
    const std::unique_ptr<TBitmap> bitmap = bitmapOf(stripes());
    TDeviceIndependentBitmap dib(bitmap.get(), TDIBFormat::dt32bit);
    encoder.SaveDIBToStream(&dib, &stream);
    EXPECT_EQ(encoder.log.formatAsked, TDIBFormat::dt32bit);
    EXPECT_EQ(stream.bytes(), rawImageBytes(stripes()));
}

TEST_F(GraphicsCompressor, AStretchedBitmapHasTheSizeAsked) {
    const std::unique_ptr<TBitmap> bitmap = bitmapOf(stripes());
    encoder.SaveStretchedBitMapToStream(bitmap.get(), 8, 6, &stream);
    EXPECT_EQ(stream.bytes().left(4), QByteArray("\x08\x00\x06\x00", 4));
    EXPECT_EQ(stream.Size(), 4 + 8 * 6 * 3);
}

TEST_F(GraphicsCompressor, AMetafileIsPlayedOverTheBrushColour) {
    TMetafile metafile;
    recordQuarter(metafile);
    encoder.SaveMetaFileToStream(&metafile, &stream, 20, 20);
    QImage expected(20, 20, QImage::Format_RGB32);
    expected.fill(Qt::white);
    QPainter(&expected).fillRect(QRect(0, 0, 10, 10), Qt::black);
    EXPECT_EQ(stream.bytes(), rawImageBytes(expected));
}

TEST_F(GraphicsCompressor, AMetafilePictureKeepsItsOwnSizeUnlessStretched) {
    TPicture picture;
    recordQuarter(*picture.Metafile());
    encoder.SavePictureToStream(&picture, &stream);
    EXPECT_EQ(stream.bytes().left(4), QByteArray("\x0a\x00\x0a\x00", 4));

    TMemoryStream stretched;
    encoder.SaveStretchedPictureToStream(&picture, 3, 7, &stretched);
    EXPECT_EQ(stretched.bytes().left(4), QByteArray("\x03\x00\x07\x00", 4));
}

TEST_F(GraphicsCompressor, ABitmapPictureIsSavedAsItsBitmap) {
    TPicture picture;
    picture.SetBitmap(bitmapOf(stripes()).get());
    encoder.SavePictureToStream(&picture, &stream);
    EXPECT_EQ(stream.bytes(), rawImageBytes(stripes()));
}

TEST_F(GraphicsCompressor, AnEmptyPictureIsRefused) {
    TPicture picture;
    const QString message = "The Image Property is empty!";
    expectThrowWithMessage<Exception>([&] { encoder.SavePictureToStream(&picture, &stream); },
                                      message);
    expectThrowWithMessage<Exception>([&] { encoder.SavePictureToStream(nullptr, &stream); },
                                      message);
    expectThrowWithMessage<Exception>(
        [&] { encoder.SaveStretchedPictureToStream(&picture, 5, 5, &stream); }, message);
    EXPECT_EQ(stream.Size(), 0);
}

TEST_F(GraphicsCompressor, AnUnplayableMetafileIsReportedWithTheReason) {
    TMetafile metafile;
    expectThrowWithMessage<Exception>(
        [&] { encoder.SaveMetaFileToStream(&metafile, &stream, 4, 4); },
        "Unable to render metafile as a bitmap - PlayEnhMetaFile returned 6");
    EXPECT_EQ(stream.Size(), 0);
}

// --- files ---

TEST_F(GraphicsCompressor, FileFormsWriteTheFileAndCloseTheImageStream) {
    const std::unique_ptr<TBitmap> bitmap = bitmapOf(stripes());
    encoder.SaveBitmapToFile(bitmap.get(), path("a.raw"));
    EXPECT_EQ(fileBytes(path("a.raw")), rawImageBytes(stripes()));
    EXPECT_EQ(encoder.GetImageStream(), nullptr);
    EXPECT_EQ(encoder.log.closes, 1);

    TPicture picture;
    picture.SetBitmap(bitmap.get());
    encoder.SaveStretchedPictureToFile(&picture, 2, 1, path("b.raw"));
    EXPECT_EQ(fileBytes(path("b.raw")).size(), 4 + 2 * 3);
    TDeviceIndependentBitmap dib(bitmap.get(), TDIBFormat::dt24bit);
    encoder.SaveDIBtoFile(&dib, path("c.raw"));
    EXPECT_EQ(fileBytes(path("c.raw")), rawImageBytes(stripes()));
    EXPECT_EQ(encoder.log.closes, 3);
}

TEST_F(GraphicsCompressor, AnExistingFileIsTruncated) {
    QFile old(path("a.raw"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(500, 'x'));
    old.close();
    TPicture picture;
    recordQuarter(*picture.Metafile());
    encoder.SavePictureToFile(&picture, path("a.raw"));
    EXPECT_EQ(fileBytes(path("a.raw")).size(), 4 + 10 * 10 * 3);
}

TEST_F(GraphicsCompressor, AFailingCodecStillClosesTheImageStreamAndTheFile) {
    const std::unique_ptr<TBitmap> bitmap = bitmapOf(stripes());
    encoder.failAfterHeader = true;
    encoder.Abort();
    expectThrowWithMessage<Exception>(
        [&] { encoder.SaveStretchedBitmapToFile(bitmap.get(), 2, 2, path("a.raw")); },
        "Encoder failed");
    EXPECT_EQ(encoder.GetImageStream(), nullptr);
    EXPECT_FALSE(encoder.GetAborted());
    EXPECT_EQ(encoder.log.closes, 1);
    // The header reached the disk: the file was flushed and closed.
    EXPECT_EQ(fileBytes(path("a.raw")), QByteArray("\x02\x00\x02\x00", 4));
}

TEST_F(GraphicsCompressor, AFileThatCannotBeCreatedIsReported) {
    const std::unique_ptr<TBitmap> bitmap = bitmapOf(stripes());
    const QString fileName = path("missing/a.raw");
    expectThrowWithMessage<EFCreateError>([&] { encoder.SaveBitmapToFile(bitmap.get(), fileName); },
                                          QString("Cannot create file \"%1\"").arg(fileName));
    EXPECT_EQ(encoder.GetImageStream(), nullptr);
}

}  // namespace
