#include <gtest/gtest.h>

#include <cmath>
#include <QDir>
#include <QFile>
#include <random>

#include "gif/Zvqgif.h"
#include "imaging/Zvqgraph.h"
#include "test_support.h"
#include "toolkit/streams.h"

namespace {

std::unique_ptr<TDeviceIndependentBitmap> paletted(TDIBFormat format, int width, int height,
                                                   const std::vector<QRgb>& colours, unsigned seed) {
    auto dib = std::make_unique<TDeviceIndependentBitmap>(format, width, height);
    TLogicalPalette palette;
    palette.ReAlloc(int(colours.size()));
    for (QRgb c : colours) palette.addColour(std::uint8_t(qRed(c)), std::uint8_t(qGreen(c)), std::uint8_t(qBlue(c)));
    dib->SetColourTable(&palette);
    std::mt19937 random(seed);
    auto writer = dib->GetWriter();
    auto* mapped = static_cast<TDIBMappedWriter*>(writer.get());
    do {
        while (mapped->SetNextIndex(std::uint8_t(random() % colours.size()))) {
        }
    } while (writer->NextRow());
    return dib;
}

std::vector<QRgb> randomColours(int count, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<QRgb> colours;
    for (int i = 0; i < count; ++i) colours.push_back(qRgb(int(random() % 256), int(random() % 256), int(random() % 256)));
    return colours;
}

// The colours of a bitmap, rows top-down.
QImage coloursOf(TDeviceIndependentBitmap* dib) { return dib->toImage().convertToFormat(QImage::Format_RGB32); }

QByteArray encodeOne(TZVQ_GIFCompressor& encoder, TDeviceIndependentBitmap* dib,
                     const TGIFGraphicControlInfo& info = {}) {
    TMemoryStream out;
    encoder.WriteGIFGraphicToStream(&out, dib, info);
    encoder.CloseImageStream();
    return out.bytes();
}

std::unique_ptr<TDeviceIndependentBitmap> decodeFirst(const QByteArray& bytes) {
    TZVQ_GIFDecompressor decoder;
    TMemoryStream in(bytes);
    return decoder.ReadDIBitmapFromStream(&in, TDIBFormat::dt8bit);
}

double psnr(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            const int dr = qRed(p) - qRed(q), dg = qGreen(p) - qGreen(q), db = qBlue(p) - qBlue(q);
            sum += dr * dr + dg * dg + db * db;
        }
    const double mse = sum / (3.0 * a.width() * a.height());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

std::unique_ptr<TDeviceIndependentBitmap> photoLike(int width, int height) {
    auto dib = std::make_unique<TDeviceIndependentBitmap>(TDIBFormat::dt24bit, width, height);
    auto writer = dib->GetWriter();
    std::mt19937 random(4);
    int y = 0;
    do {
        for (int x = 0;; ++x) {
            const int noise = int(random() % 9) - 4;
            const auto r = std::uint8_t(std::clamp(int(128 + 100 * std::sin(x / 17.0)) + noise, 0, 255));
            const auto g = std::uint8_t(std::clamp(y * 255 / height + noise, 0, 255));
            const auto b = std::uint8_t(std::clamp((x * y) % 256 / 2 + 60 + noise, 0, 255));
            if (!writer->SetNextPixel(r, g, b)) break;
        }
        ++y;
    } while (writer->NextRow());
    return dib;
}

}  // namespace

TEST(GifEncoder, SmallImageBytesAsWorkedByHand) {
    auto dib = std::make_unique<TDeviceIndependentBitmap>(TDIBFormat::dt4bit, 2, 2);
    TLogicalPalette palette;
    palette.ReAlloc(3);
    palette.addColour(255, 0, 0);
    palette.addColour(0, 255, 0);
    palette.addColour(0, 0, 255);
    dib->SetColourTable(&palette);
    auto writer = dib->GetWriter();
    auto* mapped = static_cast<TDIBMappedWriter*>(writer.get());
    mapped->SetNextIndex(0);
    mapped->SetNextIndex(1);
    writer->NextRow();
    mapped->SetNextIndex(2);
    mapped->SetNextIndex(0);
    dib->SetTransparentColour(RGB(0, 255, 0));

    TZVQ_GIFCompressor encoder;
    encoder.SetBackgroundColor(RGB(0, 0, 255));
    const QByteArray expected = QByteArray::fromHex(
        "474946383961"          // GIF89a
        "0200020089" "0200"     // 2 x 2, table of 4 with the sort bit, background 2, aspect 0
        "ff000000ff000000ff000000"  // three colours padded with black
        "21f904" "00" "0000" "01" "00"  // graphic control: no transparency, delay 0, index 1
        "2c" "00000000" "02000200" "00"  // image descriptor, global table
        "04" "04" "10040122" "00"   // code size 4; codes 16 0 1 2 0 17 at 5 bits
        "3b");
    EXPECT_EQ(encodeOne(encoder, dib.get()).toHex(), expected.toHex());
}

TEST(GifEncoder, ScreenFieldsAndExtensionBlocks) {
    TZVQ_GIFCompressor encoder;
    const std::vector<QRgb> colours = randomColours(256, 1);
    auto dib = paletted(TDIBFormat::dt8bit, 3, 2, colours, 2);
    dib->SetAspectRatio(1.5);
    dib->SetTransparentColour(RGB(qRed(colours[5]), qGreen(colours[5]), qBlue(colours[5])));
    TGIFGraphicControlInfo info;
    info.DelayTime = 1005;
    info.DisposalMethod = TDisposalMethods::dmRestorePrevious;
    info.UserInput = true;
    const QByteArray bytes = encodeOne(encoder, dib.get(), info);
    EXPECT_EQ(std::uint8_t(bytes[10]), 0x8F);  // 256 entries, sort bit, resolution bits 0
    EXPECT_EQ(std::uint8_t(bytes[12]), 81);    // aspect 1.5
    const qsizetype gce = 13 + 256 * 3;
    EXPECT_EQ(bytes.mid(gce, 8).toHex(), QByteArray("21f9040e64000500"));

    TMemoryStream out;
    encoder.OpenImageStream(&out);
    encoder.WriteLoopControl(0);
    encoder.WriteApplicationExtension("ABC", "1", "xyz", 3);
    encoder.CloseImageStream();
    // Without a graphic the screen is empty; the extensions follow it.
    EXPECT_EQ(out.bytes().mid(6).toHex(),
              QByteArray::fromRawData("\x00\x00\x00\x00\x00\x00\x00"
                                      "\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"
                                      "\x21\xFF\x0B" "ABC     1  \x03xyz\x00;",
                                      7 + 19 + 19 + 1)
                  .toHex());
}

TEST(GifEncoder, ExtensionsBeforeTheFirstGraphicFollowTheScreen) {
    TZVQ_GIFCompressor encoder;
    TMemoryStream out;
    encoder.OpenImageStream(&out);
    encoder.WriteLoopControl(3);
    encoder.WriteComment("first");
    // An empty comment would be a block without data, which giflib refuses.
    encoder.WriteComment("");
    auto dib = paletted(TDIBFormat::dt4bit, 4, 4, randomColours(16, 3), 4);
    encoder.WriteGIFGraphic(dib.get(), {});
    encoder.WriteComment(QByteArray());
    encoder.CloseImageStream();
    EXPECT_EQ(out.bytes().count("\x21\xFE"), 1);
    TZVQ_GIFDecompressor decoder;
    QByteArray comment;
    decoder.OnComment = [&](TObject*, const char* c) { comment = c; };
    TMemoryStream in(out.bytes());
    EXPECT_NE(decoder.ReadDIBitmapFromStream(&in, TDIBFormat::dt8bit), nullptr);
    EXPECT_EQ(decoder.GetLoopCount(), 3);
    EXPECT_EQ(comment, "first");
    EXPECT_EQ(out.bytes().mid(13 + 48, 3), QByteArray("\x21\xFF\x0B"));
}

TEST(GifEncoder, Gif87aLeavesOut89aBlocksAndRefusesThem) {
    TZVQ_GIFCompressor encoder;
    encoder.SetGIFType(TGIFType::gt87a);
    encoder.SetComment("not written");
    auto dib = paletted(TDIBFormat::dt4bit, 4, 4, randomColours(16, 3), 4);
    dib->SetTransparent(true);
    TMemoryStream out;
    encoder.WriteGIFGraphicToStream(&out, dib.get(), {});
    EXPECT_TRUE(out.bytes().startsWith("GIF87a"));
    EXPECT_EQ(out.bytes()[13 + 16 * 3], ',');  // the image follows the table at once
    expectThrowWithMessage<EGIFError>([&] { encoder.WriteLoopControl(0); },
                                      QStringLiteral("A Application Extension block cannot be encoded under GIF 87a"));
    TPlainText text;
    expectThrowWithMessage<EGIFError>([&] { encoder.WriteGIFGraphic(&text, {}); },
                                      QStringLiteral("A Plain Text block cannot be encoded under GIF 87a"));
    expectThrowWithMessage<EGIFError>([&] { encoder.SetGIFType(TGIFType::gt89a); },
                                      QStringLiteral("Cannot change the GIF type while writing a GIF Stream"));
    encoder.CloseImageStream();
    EXPECT_TRUE(out.bytes().endsWith(';'));
    encoder.SetGIFType(TGIFType::gt89a);
    EXPECT_EQ(encoder.GetGIFType(), TGIFType::gt89a);
}

TEST(GifEncoder, PalettedPicturesRoundTripExactly) {
    struct Case {
        TDIBFormat format;
        int colours;
    };
    for (const Case c : {Case{TDIBFormat::dtMonochrome, 2}, Case{TDIBFormat::dt4bit, 5}, Case{TDIBFormat::dt4bit, 16},
                         Case{TDIBFormat::dt8bit, 100}, Case{TDIBFormat::dt8bit, 256}}) {
        for (bool interlace : {false, true}) {
            auto dib = paletted(c.format, 37, 23, randomColours(c.colours, unsigned(c.colours)), 7);
            TZVQ_GIFCompressor encoder;
            encoder.SetInterlace(interlace);
            const auto back = decodeFirst(encodeOne(encoder, dib.get()));
            EXPECT_EQ(coloursOf(back.get()), coloursOf(dib.get())) << c.colours << " colours, interlace " << interlace;
        }
    }
}

TEST(GifEncoder, TrueColourPicturesInBothQualities) {
    auto photo = photoLike(160, 120);
    for (bool interlace : {false, true}) {
        double standard = 0;
        for (TGIFPaletteQuality quality : {TGIFPaletteQuality::Standard, TGIFPaletteQuality::High}) {
            TZVQ_GIFCompressor encoder;
            encoder.SetInterlace(interlace);
            encoder.SetPaletteQuality(quality);
            const auto back = decodeFirst(encodeOne(encoder, photo.get()));
            const double quality_ = psnr(coloursOf(back.get()), coloursOf(photo.get()));
            EXPECT_GT(quality_, 24.0) << "interlace " << interlace;
            if (quality == TGIFPaletteQuality::Standard) standard = quality_;
            else EXPECT_GT(quality_, standard) << "the refined palette is closer";
        }
    }
}

TEST(GifEncoder, HighQualityKeepsFewColoursExact) {
    // Colours closer than the nearest-colour grid can tell apart.
    auto dib = std::make_unique<TDeviceIndependentBitmap>(TDIBFormat::dt24bit, 32, 8);
    auto writer = dib->GetWriter();
    int y = 0;
    do {
        for (int x = 0; writer->SetNextPixel(std::uint8_t(x / 2), std::uint8_t(x % 3 + y), 200); ++x) {
        }
        ++y;
    } while (writer->NextRow());
    TZVQ_GIFCompressor encoder;
    encoder.SetPaletteQuality(TGIFPaletteQuality::High);
    const auto back = decodeFirst(encodeOne(encoder, dib.get()));
    EXPECT_EQ(coloursOf(back.get()), coloursOf(dib.get()));
}

TEST(GifEncoder, GlobalPaletteLastsOneStreamUnlessRetained) {
    auto first = paletted(TDIBFormat::dt4bit, 4, 4, randomColours(16, 10), 1);
    auto second = paletted(TDIBFormat::dt4bit, 4, 4, randomColours(16, 11), 1);
    for (bool retain : {false, true}) {
        TZVQ_GIFCompressor encoder;
        encoder.SetRetainGlobalPalette(retain);
        encodeOne(encoder, first.get());
        const QByteArray bytes = encodeOne(encoder, second.get());
        TZVQ_GIFDecompressor decoder;
        TMemoryStream in(bytes);
        auto back = decoder.ReadDIBitmapFromStream(&in, TDIBFormat::dt8bit);
        EXPECT_EQ(decoder.GetGlobalPalette()->GetRed(0), std::uint8_t(retain ? randomColours(16, 10)[0] >> 16
                                                                             : randomColours(16, 11)[0] >> 16));
        EXPECT_EQ(decoder.lastLocalColours(), retain ? 16 : 0);
        EXPECT_EQ(coloursOf(back.get()), coloursOf(second.get()));
    }
}

TEST(GifEncoder, TransparencyDelaysAndPlainTextRoundTrip) {
    auto dib = paletted(TDIBFormat::dt4bit, 6, 5, {qRgb(2, 4, 253), qRgb(3, 6, 252), qRgb(9, 9, 9)}, 3);
    dib->SetTransparent(true);
    dib->SetTransparentColour(RGB(2, 4, 253));
    TZVQ_GIFCompressor encoder;
    encoder.SetComment("made here");
    TPlainText text;
    text.SetGridSize(40, 10);
    text.SetCellSize(8, 10);
    text.SetForegroundColour(RGB(9, 9, 9));
    text.SetBackgroundColour(RGB(3, 6, 252));
    text.SetText("hello");
    TMemoryStream out;
    TGIFGraphicControlInfo info;
    info.Origin = QPoint(3, 2);
    info.DelayTime = 120;
    encoder.WriteGIFGraphicToStream(&out, dib.get(), info);
    encoder.WriteGIFGraphic(&text, info);
    encoder.CloseImageStream();

    TZVQ_GIFDecompressor decoder;
    QList<QByteArray> comments;
    decoder.OnComment = [&](TObject*, const char* c) { comments << c; };
    TMemoryStream in(out.bytes());
    TGIFGraphicControlInfo back;
    auto image = decoder.ReadGIFGraphicFromStream(&in, back);
    EXPECT_EQ(back, info);
    EXPECT_EQ(decoder.lastTransparentIndex(), 0);  // the entry of that very colour
    auto graphic = decoder.ReadGIFGraphicFromStream(&in, back);
    auto* readText = dynamic_cast<TPlainText*>(graphic.get());
    ASSERT_NE(readText, nullptr);
    EXPECT_EQ(QByteArray(readText->GetText()), "hello");
    EXPECT_EQ(readText->GetForegroundColour(), RGB(9, 9, 9));
    EXPECT_EQ(readText->GetBackgroundColour(), RGB(3, 6, 252));
    EXPECT_EQ(comments, (QList<QByteArray>{"made here", "made here"}));
    EXPECT_EQ(decoder.ReadGIFGraphicFromStream(&in, back), nullptr);

    TMemoryStream sink;  // outlives the encoder, which closes the stream it has open
    TZVQ_GIFCompressor fresh;
    fresh.OpenImageStream(&sink);
    expectThrowWithMessage<EGIFError>([&] { fresh.WriteGIFGraphic(&text, {}); },
                                      QStringLiteral("A Global Palette has not been defined"));
}

TEST(GifEncoder, EngineSavesToFilesWithProgress) {
    auto photo = photoLike(40, 30);
    TZVQ_GIFCompressor encoder;
    int reports = 0;
    encoder.OnProgressReport = [&](TObject*) { ++reports; };
    encoder.SetInterlace(true);
    const QString path = QDir::temp().filePath("quorvan-encoder-test.gif");
    encoder.SaveDIBtoFile(photo.get(), path);
    EXPECT_GE(reports, 20);  // conversion and writing, every 5 percent
    TMemoryStream in;
    in.LoadFromFile(path);
    EXPECT_TRUE(in.bytes().endsWith(';'));
    EXPECT_EQ(decodeFirst(in.bytes())->GetWidth(), 40);
    QFile::remove(path);
}

TEST(GifEncoder, FieldsPastSixteenBitsAreRefusedOrHeldAtTheirLongest) {
    TMemoryStream out;  // outlives the encoder, which closes the stream it has open
    TZVQ_GIFCompressor encoder;
    TDeviceIndependentBitmap wide(TDIBFormat::dtMonochrome, 70000, 1);
    expectThrowWithMessage<EGIFError>([&] { encoder.SaveDIBToStream(&wide, &out); },
                                      QStringLiteral("A GIF cannot hold an image of 70000 x 1 pixels at (0, 0)"));
    EXPECT_EQ(out.Size(), 6);  // the header alone: nothing of the image was written

    auto dib = paletted(TDIBFormat::dtMonochrome, 2, 2, {qRgb(0, 0, 0), qRgb(255, 255, 255)}, 1);
    TGIFGraphicControlInfo info;
    info.Origin = QPoint(65536, 0);
    expectThrowWithMessage<EGIFError>([&] { encoder.WriteGIFGraphic(dib.get(), info); },
                                      QStringLiteral("A GIF cannot hold an image of 2 x 2 pixels at (65536, 0)"));
    info.Origin = QPoint(0, 0);
    info.DelayTime = 1000000;  // longer than 65535 hundredths of a second
    encoder.WriteGIFGraphic(dib.get(), info);
    encoder.CloseImageStream();

    TZVQ_GIFDecompressor decoder;
    TMemoryStream in(out.bytes());
    TGIFGraphicControlInfo back;
    ASSERT_NE(decoder.ReadGIFGraphicFromStream(&in, back), nullptr);
    EXPECT_EQ(back.DelayTime, 655350);
}
