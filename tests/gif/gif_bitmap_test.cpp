#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "gif/Zvqgif.h"
#include "gif_bytes.h"
#include "imaging/Zvqgraph.h"
#include "test_support.h"
#include "toolkit/picture.h"

namespace {

QByteArray twoByTwo() {
    return gifHeader(2, 2, 2) + imageDescriptor(0, 0, 2, 2) + literalImageData({0, 1, 2, 3}, 2) + ";";
}

QByteArray fileBytes(const QString& path) {
    TMemoryStream stream;
    stream.LoadFromFile(path);
    return stream.bytes();
}

}  // namespace

TEST(GifBitmap, LoadsTheFirstImageAndKeepsItOnADamagedStream) {
    TGIFBitmap bitmap;
    std::vector<TProgressStage> stages;
    bitmap.OnProgress = [&](TObject*, TProgressStage stage, int, bool, const QRect&, const QString&) {
        stages.push_back(stage);
    };
    TMemoryStream good(twoByTwo());
    bitmap.LoadFromStream(&good);
    ASSERT_EQ(bitmap.Width(), 2);
    EXPECT_EQ(bitmap.Image().pixel(1, 1) & 0xFFFFFF, 0x0306FCu);
    EXPECT_EQ(stages.front(), TProgressStage::psStarting);
    EXPECT_EQ(stages.back(), TProgressStage::psEnding);

    const QImage before = bitmap.Image();
    QByteArray damaged = twoByTwo();
    damaged.chop(6);
    TMemoryStream bad(damaged);
    EXPECT_NO_THROW(bitmap.LoadFromStream(&bad));
    EXPECT_EQ(bitmap.Image(), before);
}

TEST(GifBitmap, SavesByExtensionInAnyLetterCase) {
    QTemporaryDir dir;
    TGIFBitmap bitmap;
    TMemoryStream in(twoByTwo());
    bitmap.LoadFromStream(&in);
    bitmap.SaveToFile(dir.filePath("mixed.GiF"));
    const QByteArray gif = fileBytes(dir.filePath("mixed.GiF"));
    EXPECT_TRUE(gif.startsWith("GIF89a"));
    EXPECT_TRUE(gif.endsWith(';'));
    bitmap.SaveToFile(dir.filePath("plain.bmp"));
    EXPECT_TRUE(fileBytes(dir.filePath("plain.bmp")).startsWith("BM"));

    TGIFBitmap back;
    TMemoryStream again(gif);
    back.LoadFromStream(&again);
    // Through the 256-colour reduction, colours come back close.
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) {
            const QRgb a = back.Image().pixel(x, y), b = bitmap.Image().pixel(x, y);
            EXPECT_LE(std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b)), 16);
        }
}

TEST(GifBitmap, PicturesTakeGifFiles) {
    EXPECT_EQ(TPicture::FileFormatDescription("GIF"), QStringLiteral("Compuserve GIF Image"));
    EXPECT_TRUE(TPicture::fileFormatExtensions().contains("gif"));
    QTemporaryDir dir;
    const QString path = dir.filePath("two.gif");
    {
        TFileStream out(path, TFileMode::Create);
        const QByteArray bytes = twoByTwo();
        out.WriteBuffer(bytes.constData(), bytes.size());
    }
    TPicture picture;
    picture.LoadFromFile(path);
    ASSERT_TRUE(picture.hasBitmap());
    EXPECT_NE(dynamic_cast<TGIFBitmap*>(picture.Bitmap()), nullptr);
    EXPECT_EQ(picture.Width(), 2);

    // A damaged file leaves the picture as it was.
    TFileStream(dir.filePath("bad.gif"), TFileMode::Create).WriteBuffer("GIF89a", 6);
    expectThrowWithMessage<EInvalidGraphic>([&] { picture.LoadFromFile(dir.filePath("bad.gif")); },
                                            QStringLiteral("Bitmap image is not valid"));
    EXPECT_EQ(picture.Width(), 2);

    // Bitmaps take pictures, and pictures take the library's graphics.
    TDeviceIndependentBitmap dib(TDIBFormat::dt24bit, 1, 1);
    dib.Assign(&picture);
    EXPECT_EQ(dib.GetWidth(), 2);
    EXPECT_EQ(dib.toImage().pixel(1, 1) & 0xFFFFFF, 0x0306FCu);
    TPicture copy;
    copy.Assign(&dib);
    EXPECT_EQ(copy.Width(), 2);
    EXPECT_EQ(copy.Bitmap()->Image().pixel(1, 1) & 0xFFFFFF, 0x0306FCu);
}
