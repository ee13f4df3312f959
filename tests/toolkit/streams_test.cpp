#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "test_support.h"
#include "toolkit/bitmap.h"
#include "toolkit/clipboard.h"
#include "toolkit/persistent.h"
#include "toolkit/screen.h"
#include "toolkit/streams.h"

TEST(Streams, MemoryStreamReportsShortReads) {
    TMemoryStream stream;
    stream.WriteBuffer("abcdef", 6);
    EXPECT_EQ(stream.Size(), 6);
    EXPECT_EQ(stream.Position(), 6);
    stream.SetPosition(4);
    char buffer[8] = {};
    EXPECT_EQ(stream.Read(buffer, 8), 2);
    EXPECT_EQ(QByteArray(buffer, 2), QByteArray("ef"));
    EXPECT_EQ(stream.Read(buffer, 8), 0);
    stream.SetPosition(3);
    expectThrowWithMessage<EReadError>([&] { stream.ReadBuffer(buffer, 4); },
                                       QStringLiteral("Stream read error"));
    EXPECT_EQ(stream.Seek(-2, TSeekOrigin::End), 4);
    EXPECT_THROW(stream.Seek(-1, TSeekOrigin::Beginning), EStreamError);
    // Writing past the end fills the gap with zeros.
    stream.SetPosition(8);
    stream.WriteBuffer("z", 1);
    EXPECT_EQ(stream.bytes(), QByteArray("abcdef\0\0z", 9));
    stream.SetSize(2);
    EXPECT_EQ(stream.Position(), 2);
}

TEST(Streams, FileStreamRoundTripAndErrors) {
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("data.bin"));
    {
        TFileStream out(name, TFileMode::Create);
        out.WriteBuffer("hello", 5);
        EXPECT_EQ(out.Size(), 5);
    }
    TFileStream in(name, TFileMode::OpenRead);
    char buffer[8];
    EXPECT_EQ(in.Read(buffer, 8), 5);
    EXPECT_EQ(in.Write("x", 1), 0);
    in.SetPosition(1);
    in.ReadBuffer(buffer, 4);
    EXPECT_EQ(QByteArray(buffer, 4), QByteArray("ello"));

    const QString missing = dir.filePath(QStringLiteral("missing.bin"));
    expectThrowWithMessage<EFOpenError>([&] { TFileStream(missing, TFileMode::OpenRead); },
                                        QStringLiteral("Cannot open file \"%1\"").arg(missing));
    const QString noFolder = dir.filePath(QStringLiteral("no/such/file"));
    expectThrowWithMessage<EFCreateError>([&] { TFileStream(noFolder, TFileMode::Create); },
                                          QStringLiteral("Cannot create file \"%1\"").arg(noFolder));
}

TEST(Streams, FullDeviceShowsAsShortWrite) {
    if (!QFile::exists(QStringLiteral("/dev/full"))) GTEST_SKIP() << "no /dev/full";
    TFileStream full(QStringLiteral("/dev/full"), TFileMode::OpenWrite);
    EXPECT_EQ(full.Write("abc", 3), 0);
    expectThrowWithMessage<EWriteError>([&] { full.WriteBuffer("abc", 3); },
                                        QStringLiteral("Stream write error"));
}

TEST(Streams, CopyFromAndResources) {
    TMemoryStream source(QByteArray("0123456789"));
    TMemoryStream target;
    EXPECT_EQ(target.CopyFrom(&source, 0), 10);
    EXPECT_EQ(target.bytes(), QByteArray("0123456789"));
    source.SetPosition(8);
    EXPECT_THROW(target.CopyFrom(&source, 5), EReadError);
    expectThrowWithMessage<EResNotFound>([] { TResourceStream(QStringLiteral(":/no/such/resource")); },
                                         QStringLiteral("Resource :/no/such/resource not found"));
}

namespace {
class TThing : public TPersistent {};
class TOther : public TPersistent {};
}  // namespace

TEST(Persistent, UnknownSourcesCannotBeAssigned) {
    TThing thing;
    TOther other;
    expectThrowWithMessage<EConvertError>([&] { thing.Assign(&other); },
                                          QStringLiteral("Cannot assign a (anonymous namespace)::TOther to a "
                                                         "(anonymous namespace)::TThing"));
    expectThrowWithMessage<EConvertError>([&] { thing.Assign(nullptr); },
                                          QStringLiteral("Cannot assign a nil to a (anonymous namespace)::TThing"));
    EXPECT_EQ(TBitmap().ClassName(), QStringLiteral("TBitmap"));
}

TEST(Bitmap, BmpRoundTripKeepsPaletteAndPixels) {
    QImage image(5, 3, QImage::Format_Indexed8);
    image.setColorTable({qRgb(1, 2, 3), qRgb(200, 100, 0)});
    image.fill(1);
    image.setPixel(0, 0, 0);
    TBitmap bitmap;
    bitmap.SetImage(image);
    EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pf4bit);
    TMemoryStream stream;
    bitmap.SaveToStream(&stream);
    stream.SetPosition(0);
    TBitmap loaded;
    loaded.LoadFromStream(&stream);
    EXPECT_EQ(loaded.Width(), 5);
    EXPECT_EQ(loaded.Palette().value(1), qRgb(200, 100, 0));
    EXPECT_EQ(loaded.Image().pixel(0, 0), qRgb(1, 2, 3));
    TMemoryStream junk(QByteArray("not a bitmap"));
    expectThrowWithMessage<EInvalidGraphic>([&] { loaded.LoadFromStream(&junk); },
                                            QStringLiteral("Bitmap image is not valid"));
}

TEST(Bitmap, TransparencyAndCanvas) {
    TBitmap bitmap;
    bitmap.SetSize(4, 4);
    EXPECT_EQ(bitmap.Image().pixel(3, 3), qRgb(255, 255, 255));
    bitmap.Canvas()->Pen.Color = clRed;
    bitmap.Canvas()->MoveTo(0, 3);
    bitmap.Canvas()->LineTo(1, 3);
    EXPECT_EQ(bitmap.TransparentColor(), clRed);  // automatic: the bottom-left pixel
    bitmap.SetTransparentColor(clBlue);
    EXPECT_EQ(bitmap.TransparentMode(), TTransparentMode::tmFixed);
    EXPECT_EQ(bitmap.TransparentColor(), clBlue);
    bitmap.SetPixelFormat(TPixelFormat::pf1bit);
    EXPECT_EQ(bitmap.Image().format(), QImage::Format_Mono);
    bitmap.Canvas();
    EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pfDevice);
}

TEST(Clipboard, CarriesBmpFiles) {
    Clipboard()->Clear();
    EXPECT_FALSE(Clipboard()->HasFormat(TClipboardFormat::DIB));
    TBitmap bitmap;
    bitmap.SetSize(2, 2);
    TMemoryStream stream;
    bitmap.SaveToStream(&stream);
    Clipboard()->setDibData(stream.bytes());
    EXPECT_TRUE(Clipboard()->HasFormat(TClipboardFormat::DIB));
    EXPECT_EQ(Clipboard()->dibData(), stream.bytes());
}

TEST(Screen, CapabilitiesAreUsable) {
    const ScreenCapabilities caps = screenCapabilities();
    EXPECT_GT(caps.widthPixels, 0);
    EXPECT_GT(caps.colourDepth, 0);
    EXPECT_EQ(caps.colourCount(), caps.colourDepth > 8 ? -1 : 1 << caps.colourDepth);
}
