#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <gtest/gtest.h>

#include "bmp_builder.h"
#include "imaging/Zvqgraph.h"
#include "test_support.h"
#include "toolkit/bitmap.h"
#include "toolkit/canvas.h"
#include "toolkit/clipboard.h"

namespace {

const QString kInvalidHeader = QStringLiteral("Invalid DIB Header");

// A stream that takes only so many bytes, as a full disk would.
class LimitedStream : public TMemoryStream {
public:
    explicit LimitedStream(std::int64_t room) : room_(room) {}
    std::int64_t Write(const void* buffer, std::int64_t count) override {
        const std::int64_t n = std::min(count, room_);
        room_ -= n;
        return TMemoryStream::Write(buffer, n);
    }

private:
    std::int64_t room_;
};

void fillPattern(TDeviceIndependentBitmap& dib) {
    auto writer = dib.GetWriter();
    int n = 0;
    do {
        while (writer->SetNextPixel(std::uint8_t(n * 37), std::uint8_t(n * 11), std::uint8_t(255 - n))) ++n;
    } while (writer->NextRow());
}

QByteArray pixelBytes(const TDeviceIndependentBitmap& dib) {
    return QByteArray(reinterpret_cast<const char*>(dib.GetBits()), dib.GetSize());
}

}  // namespace

TEST(DeviceIndependentBitmap, SizesFollowFormatAndPadding) {
    const TDeviceIndependentBitmap dib(TDIBFormat::dt24bit, 3, 2);
    EXPECT_EQ(dib.GetSize(), 24);
    EXPECT_EQ(dib.GetInfoSize(), 40);
    EXPECT_EQ(TDeviceIndependentBitmap::CalcDIBSize(TDIBFormat::dtMonochrome, 3, 1), 4);
    EXPECT_EQ(TDeviceIndependentBitmap::CalcDIBSize(TDIBFormat::dtMonochrome, 33, 2), 16);
    EXPECT_EQ(TDeviceIndependentBitmap::CalcDIBSize(TDIBFormat::dt4bit, 5, 1), 4);
    EXPECT_EQ(TDeviceIndependentBitmap::CalcDIBSize(TDIBFormat::dt4bit, 9, 1), 8);
    EXPECT_EQ(TDeviceIndependentBitmap::CalcDIBSize(TDIBFormat::dt16bit, 3, 1), 8);
    EXPECT_EQ(TDeviceIndependentBitmap::CalcDIBSize(TDIBFormat::dt32bit, 3, 3), 36);
    const int infoSizes[] = {48, 104, 1064, 40, 40, 40};
    for (int f = 0; f < 6; ++f) {
        EXPECT_EQ(TDeviceIndependentBitmap::GetBitmapInfoSize(TDIBFormat(f)), infoSizes[f]) << f;
        const TDeviceIndependentBitmap empty(TDIBFormat(f), 2, 2);
        EXPECT_EQ(empty.GetInfoSize(), infoSizes[f]);
        EXPECT_EQ(empty.GetDIBType(), TDIBFormat(f));
        EXPECT_EQ(empty.headerWord(DibHeader::kClrUsed), 0u);
    }
}

TEST(DeviceIndependentBitmap, SavesFileHeaderInFrontOfBlock) {
    const TDeviceIndependentBitmap dib(TDIBFormat::dt8bit, 1, 1);
    const QByteArray file = savedBmp(dib);
    ASSERT_EQ(file.size(), 1082);
    EXPECT_EQ(file.left(2), QByteArray("BM"));
    const auto* p = reinterpret_cast<const std::uint8_t*>(file.constData());
    EXPECT_EQ(readLe32(p + 2), 1082u);
    EXPECT_EQ(readLe32(p + 6), 0u);
    EXPECT_EQ(readLe32(p + 10), 1078u);
    EXPECT_EQ(readLe32(p + 14), 40u);
}

TEST(DeviceIndependentBitmap, EveryFormatSurvivesSaveAndLoad) {
    for (int f = 0; f < 6; ++f) {
        TDeviceIndependentBitmap dib(TDIBFormat(f), 7, 3);
        fillPattern(dib);
        const auto loaded = loadBmp(savedBmp(dib));
        EXPECT_EQ(loaded->GetDIBType(), TDIBFormat(f));
        EXPECT_EQ(loaded->GetWidth(), 7);
        EXPECT_EQ(loaded->GetHeight(), 3);
        EXPECT_EQ(pixelBytes(*loaded), pixelBytes(dib)) << f;
    }
}

TEST(DeviceIndependentBitmap, LoadedBlockIsTheFileByteForByte) {
    // Row padding, the masks and the colour table come from the file: saving
    // what was loaded gives the file back, the large block (fresh pages from
    // the system) as much as the small ones.
    const auto pattern = [](int bytes) {
        QByteArray out(bytes, Qt::Uninitialized);
        for (int i = 0; i < bytes; ++i) out[i] = char(i * 7 + i / 251);
        return out;
    };
    BmpLayout trueColour;
    trueColour.width = 3;
    trueColour.height = 2;
    trueColour.pixels = pattern(24);  // 9 bytes and 3 of padding a row
    BmpLayout paletted;
    paletted.width = 5;
    paletted.height = -2;
    paletted.bits = 8;
    paletted.clrUsed = 3;
    paletted.table = {0x102030, 0x405060, 0x708090};
    paletted.pixels = QByteArray("\0\1\2\1\0\xA5\xA5\xA5\2\2\1\1\0\x5A\x5A\x5A", 16);
    BmpLayout masked;
    masked.bits = 16;
    masked.compression = 3;
    masked.masks = {0xF800, 0x07E0, 0x001F};
    masked.pixels = QByteArray("\x34\x12\xC3\x3C", 4);
    BmpLayout large;
    large.width = 1800;
    large.height = 1600;  // 8.6 MB of pixels
    large.pixels = pattern(1800 * 3 * 1600);
    for (const BmpLayout* layout : {&trueColour, &paletted, &masked, &large}) {
        const QByteArray file = buildBmp(*layout);
        EXPECT_TRUE(savedBmp(*loadBmp(file)) == file) << layout->bits << " bits";
    }
}

TEST(DeviceIndependentBitmap, RejectsMalformedStreams) {
    BmpLayout good;
    good.width = 2;
    good.height = 2;
    good.pixels = QByteArray(16, char(0x11));
    ASSERT_NO_THROW(loadBmp(buildBmp(good)));

    QByteArray notBm = buildBmp(good);
    notBm[0] = 'X';
    const QByteArray cut = buildBmp(good).left(60);
    BmpLayout declaredTooLong = good;
    declaredTooLong.fileSize = 1000;
    BmpLayout os2 = good;
    os2.headerSize = 12;
    BmpLayout badBits = good;
    badBits.bits = 30000;
    BmpLayout twoBits = good;
    twoBits.bits = 2;
    BmpLayout badPlanes = good;
    badPlanes.planes = 3;
    BmpLayout rle = good;
    rle.bits = 8;
    rle.compression = 1;
    BmpLayout fieldsOn24 = good;
    fieldsOn24.compression = 3;
    fieldsOn24.masks = {0xFF0000, 0xFF00, 0xFF};
    BmpLayout negativeWidth = good;
    negativeWidth.width = -2;
    BmpLayout huge = good;
    huge.width = 3000000;
    huge.height = 2000000;
    BmpLayout hugePalette = good;
    hugePalette.bits = 8;
    hugePalette.clrUsed = 305402420;

    for (const QByteArray& bytes :
         {notBm, cut, buildBmp(declaredTooLong), buildBmp(os2), buildBmp(badBits), buildBmp(twoBits),
          buildBmp(badPlanes), buildBmp(rle), buildBmp(fieldsOn24), buildBmp(negativeWidth),
          buildBmp(huge), buildBmp(hugePalette), QByteArray("BM"), QByteArray()}) {
        expectThrowWithMessage<EDIBError>([&] { loadBmp(bytes); }, kInvalidHeader);
    }
}

TEST(DeviceIndependentBitmap, FailedLoadKeepsPreviousImage) {
    TDeviceIndependentBitmap dib(TDIBFormat::dt24bit, 3, 2);
    fillPattern(dib);
    const QByteArray before = pixelBytes(dib);
    TMemoryStream stream(QByteArray("BM") + QByteArray(40, char(0xFF)));
    EXPECT_THROW(dib.LoadFromStream(&stream), EDIBError);
    EXPECT_EQ(dib.GetWidth(), 3);
    EXPECT_EQ(pixelBytes(dib), before);
}

TEST(DeviceIndependentBitmap, BitFieldMasksComeFromTheHeader) {
    BmpLayout layout;
    layout.width = 1;
    layout.bits = 16;
    layout.compression = 3;
    layout.masks = {0xF800, 0x07E0, 0x001F};
    layout.pixels = QByteArray("\x1F\x00\x00\x00", 4);
    const auto dib = loadBmp(buildBmp(layout));
    EXPECT_EQ(dib->GetRedMask(), 0xF800u);
    EXPECT_EQ(dib->GetGreenMask(), 0x07E0u);
    EXPECT_EQ(dib->GetBlueMask(), 0x001Fu);
    EXPECT_EQ(dib->GetInfoSize(), 52);
    EXPECT_EQ(dib->GetBits() - dib->GetHeader(), 52);

    const TDeviceIndependentBitmap plain16(TDIBFormat::dt16bit, 1, 1);
    EXPECT_EQ(plain16.GetRedMask(), 0x7C00u);
    const TDeviceIndependentBitmap plain32(TDIBFormat::dt32bit, 1, 1);
    EXPECT_EQ(plain32.GetGreenMask(), 0x00FF00u);
    const TDeviceIndependentBitmap paletted(TDIBFormat::dt8bit, 1, 1);
    EXPECT_EQ(paletted.GetBlueMask(), 0u);
}

TEST(DeviceIndependentBitmap, LongerInfoHeadersAreStoredAsTheCommonOne) {
    BmpLayout layout;
    layout.headerSize = 108;
    layout.bits = 32;
    layout.compression = 3;
    layout.masks = {0x0000FF00, 0x00FF0000, 0xFF000000};
    layout.pixels = QByteArray("\x00\x30\x20\x10", 4);
    const auto dib = loadBmp(buildBmp(layout));
    EXPECT_EQ(dib->headerWord(DibHeader::kSize), 40u);
    EXPECT_EQ(dib->GetRedMask(), 0x0000FF00u);
    EXPECT_EQ(dib->toImage().pixel(0, 0), qRgb(0x30, 0x20, 0x10));
}

TEST(DeviceIndependentBitmap, PixelOffsetPastTheTableIsHonoured) {
    BmpLayout layout;
    layout.bits = 8;
    layout.clrUsed = 2;
    layout.table = {0x000000, 0xFF8000};
    layout.gapBeforePixels = 100;
    layout.pixels = QByteArray("\x01\x00\x00\x00", 4);
    const auto dib = loadBmp(buildBmp(layout));
    EXPECT_EQ(dib->toImage().pixel(0, 0), qRgb(0xFF, 0x80, 0x00));
    EXPECT_EQ(dib->GetInfoSize(), 48);
}

TEST(DeviceIndependentBitmap, SizeFieldsThatFilesGetWrongAreRepaired) {
    BmpLayout layout;
    layout.width = 2;
    layout.height = 2;
    layout.pixels = QByteArray(16, char(0x42));
    QByteArray file = buildBmp(layout);
    // biSizeImage 0 is allowed for uncompressed files.
    for (int i = 34; i < 38; ++i) file[i] = 0;
    // A file size field that counts only the headers.
    file[2] = 54;
    file[3] = file[4] = file[5] = 0;
    const auto dib = loadBmp(file);
    EXPECT_EQ(dib->GetSize(), 16);
    EXPECT_EQ(savedBmp(*dib).size(), 14 + 40 + 16);
}

TEST(DeviceIndependentBitmap, ShortWriteRaises) {
    const TDeviceIndependentBitmap dib(TDIBFormat::dt24bit, 4, 4);
    for (int room : {0, 10, 14 + 40 + 47}) {
        LimitedStream stream(room);
        expectThrowWithMessage<EDIBError>([&] { dib.SaveToStream(&stream); },
                                          QStringLiteral("Error writing to output stream"));
    }
}

TEST(DeviceIndependentBitmap, AspectRatioComesFromPixelsPerMetre) {
    BmpLayout layout;
    layout.pixels = QByteArray(4, char(0));
    QByteArray file = buildBmp(layout);
    for (int i = 42; i < 46; ++i) file[i] = 0;  // biYPelsPerMeter
    auto dib = loadBmp(file);
    EXPECT_DOUBLE_EQ(dib->GetAspectRatio(), 1.0);

    dib = loadBmp(buildBmp(layout));
    EXPECT_DOUBLE_EQ(dib->GetAspectRatio(), 1.0);
    dib->SetAspectRatio(2.0);
    EXPECT_EQ(dib->headerWord(DibHeader::kXPelsPerMeter), 5670u);
    EXPECT_DOUBLE_EQ(dib->GetAspectRatio(), 2.0);
}

TEST(DeviceIndependentBitmap, CopiesBlockAndTransparency) {
    TDeviceIndependentBitmap dib(TDIBFormat::dt4bit, 5, 3);
    fillPattern(dib);
    dib.SetTransparent(true);
    dib.SetTransparentColour(0x123456);
    const std::unique_ptr<TZVQExtGraphic> copy = dib.Copy();
    auto* copied = dynamic_cast<TDeviceIndependentBitmap*>(copy.get());
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(pixelBytes(*copied), pixelBytes(dib));
    EXPECT_TRUE(copied->GetTransparent());
    EXPECT_EQ(copied->GetTransparentColour(), 0x123456u);
    EXPECT_NE(copied->GetBits(), dib.GetBits());
}

TEST(DeviceIndependentBitmap, ColourTableShrinksAndRowsFollow) {
    TDeviceIndependentBitmap dib(TDIBFormat::dt8bit, 3, 2);
    fillPattern(dib);
    const QByteArray before = pixelBytes(dib);
    TLogicalPalette palette(TDefaultPalettes::dpGrayscale);
    palette.ReAlloc(16);
    for (int i = 0; i < 16; ++i) palette.addColour(std::uint8_t(i * 16), 0, 0);
    dib.SetColourTable(&palette);
    EXPECT_EQ(dib.headerWord(DibHeader::kClrUsed), 16u);
    EXPECT_EQ(dib.GetInfoSize(), 104);
    EXPECT_EQ(dib.GetBits() - dib.GetHeader(), 104);
    EXPECT_EQ(pixelBytes(dib), before);
    EXPECT_EQ(dib.GetColourTable()[15].rgbRed, 240);

    TDeviceIndependentBitmap small(TDIBFormat::dt4bit, 3, 2);
    const TLogicalPalette gray(TDefaultPalettes::dpGrayscale);
    expectThrowWithMessage<EDIBError>([&] { small.SetColourTable(&gray); },
                                      QStringLiteral("Unable to change DIB Colour Table"));
    // Growing back to the implicit full table would need room that is gone.
    const TLogicalPalette empty;
    EXPECT_THROW(dib.SetColourTable(&empty), EDIBError);
}

TEST(DeviceIndependentBitmap, ColourTableAfterBitFieldMasks) {
    BmpLayout layout;
    layout.bits = 16;
    layout.compression = 3;
    layout.masks = {0xF800, 0x07E0, 0x001F};
    layout.clrUsed = 4;
    layout.table = {0x010101, 0x020202, 0x030303, 0x040404};
    layout.pixels = QByteArray("\xFF\xFF\x00\x00", 4);
    auto dib = loadBmp(buildBmp(layout));
    EXPECT_EQ(dib->GetInfoSize(), 68);
    EXPECT_EQ(dib->GetColourTable()[0].rgbRed, 1);
    TLogicalPalette two;
    two.ReAlloc(2);
    two.addColour(9, 9, 9);
    two.addColour(8, 8, 8);
    dib->SetColourTable(&two);
    EXPECT_EQ(dib->GetRedMask(), 0xF800u);
    EXPECT_EQ(dib->GetInfoSize(), 60);
    EXPECT_EQ(dib->toImage().pixel(0, 0), qRgb(248, 252, 248));
}

TEST(DeviceIndependentBitmap, DrawKeepsAspectRatio) {
    TDeviceIndependentBitmap dib(TDIBFormat::dt24bit, 200, 100);
    dib.GetWriter()->FillColour(255, 0, 0);
    QImage target(100, 100, QImage::Format_RGB32);
    target.fill(Qt::white);
    TCanvas canvas(&target);
    dib.Draw(&canvas, QRect(0, 0, 100, 100));
    EXPECT_EQ(target.pixel(99, 49), qRgb(255, 0, 0));
    EXPECT_EQ(target.pixel(0, 50), qRgb(255, 255, 255));

    TDeviceIndependentBitmap tall(TDIBFormat::dt24bit, 10, 40);
    tall.GetWriter()->FillColour(0, 0, 255);
    target.fill(Qt::white);
    tall.Draw(&canvas, QRect(10, 0, 80, 80));
    EXPECT_EQ(target.pixel(10, 79), qRgb(0, 0, 255));
    EXPECT_EQ(target.pixel(29, 0), qRgb(0, 0, 255));
    EXPECT_EQ(target.pixel(30, 0), qRgb(255, 255, 255));
}

TEST(DeviceIndependentBitmap, ToolkitBitmapRoundTrip) {
    TDeviceIndependentBitmap dib(TDIBFormat::dt8bit, 6, 4);
    fillPattern(dib);
    const QImage expected = dib.toImage();
    const std::unique_ptr<TBitmap> bitmap = dib.AsBitmap();
    ASSERT_EQ(bitmap->Width(), 6);
    EXPECT_EQ(bitmap->Image().convertToFormat(QImage::Format_RGB32), expected);

    TDeviceIndependentBitmap back(bitmap.get(), TDIBFormat::dt8bit);
    EXPECT_EQ(back.toImage(), expected);
    TDeviceIndependentBitmap trueColour(bitmap.get(), TDIBFormat::dt24bit);
    EXPECT_EQ(trueColour.toImage(), expected);
    TDeviceIndependentBitmap mono(bitmap.get(), TDIBFormat::dtMonochrome);
    EXPECT_EQ(mono.GetNumColours(), 2);
}

TEST(DeviceIndependentBitmap, ToolkitBitmapTransparencyAndErrors) {
    TBitmap bitmap;
    QImage image(3, 3, QImage::Format_RGB32);
    image.fill(qRgb(10, 20, 30));
    bitmap.SetImage(image);
    bitmap.SetTransparent(true);
    bitmap.SetTransparentColor(RGB(10, 20, 30));
    TDeviceIndependentBitmap dib(TDIBFormat::dt24bit, 1, 1);
    dib.Assign(&bitmap);
    EXPECT_EQ(dib.GetWidth(), 3);
    EXPECT_TRUE(dib.GetTransparent());
    EXPECT_EQ(dib.GetTransparentColour(), RGB(10, 20, 30));

    TBitmap target;
    target.Assign(&dib);
    EXPECT_EQ(target.Image().pixel(2, 2), qRgb(10, 20, 30));

    TBitmap empty;
    expectThrowWithMessage<EDIBError>([&] { dib.Assign(&empty); },
                                      QStringLiteral("Cannot obtain a Device Independent Bitmap"));
    TDeviceIndependentBitmap other(TDIBFormat::dt24bit, 1, 1);
    expectThrowWithMessage<EConvertError>(
        [&] { dib.Assign(&other); },
        QStringLiteral("Cannot assign a TDeviceIndependentBitmap to a TDeviceIndependentBitmap"));
}

TEST(DeviceIndependentBitmap, ClipboardRoundTrip) {
    TDeviceIndependentBitmap dib(TDIBFormat::dt4bit, 9, 5);
    fillPattern(dib);
    dib.CopyToClipboard();
    EXPECT_TRUE(Clipboard()->HasFormat(TClipboardFormat::DIB));
    TDeviceIndependentBitmap pasted(TDIBFormat::dt24bit, 1, 1);
    pasted.Assign(Clipboard());
    EXPECT_EQ(pasted.GetDIBType(), TDIBFormat::dt4bit);
    EXPECT_EQ(pixelBytes(pasted), pixelBytes(dib));

    // Another program's image arrives without the BMP form.
    QImage image(2, 2, QImage::Format_RGB32);
    image.fill(qRgb(1, 2, 3));
    QGuiApplication::clipboard()->setImage(image);
    pasted.PasteFromClipboard();
    EXPECT_EQ(pasted.toImage().pixel(1, 1), qRgb(1, 2, 3));

    QGuiApplication::clipboard()->setText(QStringLiteral("text"));
    expectThrowWithMessage<EDIBError>([&] { pasted.PasteFromClipboard(); },
                                      QStringLiteral("Clipboard does not contain a DIB!"));
}

TEST(DeviceIndependentBitmap, PixelByPositionCountsRowsFromTheTop) {
    // 3 x 2, 4 bits per pixel, stored bottom row first; each row padded to 4 bytes.
    BmpLayout layout;
    layout.width = 3;
    layout.height = 2;
    layout.bits = 4;
    layout.clrUsed = 4;
    layout.table = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    layout.pixels = QByteArray(
        "\x32\x10\x00\x00"   // bottom row: 3 2 1
        "\x01\x20\x00\x00",  // top row:    0 1 2
        8);
    const std::unique_ptr<const TDeviceIndependentBitmap> dib = loadBmp(buildBmp(layout));
    const int top[3] = {0, 1, 2}, bottom[3] = {3, 2, 1};
    const TColor colours[4] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 255)};
    for (int x = 0; x < 3; ++x) {
        EXPECT_EQ(dib->pixelIndex(x, 0), top[x]) << x;
        EXPECT_EQ(dib->pixelIndex(x, 1), bottom[x]) << x;
        EXPECT_EQ(dib->pixelColour(x, 0), colours[top[x]]) << x;
        EXPECT_EQ(dib->pixelColour(x, 1), colours[bottom[x]]) << x;
    }
}

TEST(DeviceIndependentBitmap, PixelByPositionInTrueColourAndTopDownBitmaps) {
    // 2 x 2, 24 bits, stored top row first (negative height); bytes blue, green, red.
    BmpLayout layout;
    layout.width = 2;
    layout.height = -2;
    layout.pixels = QByteArray(
        "\x01\x02\x03\x04\x05\x06\x00\x00"
        "\x07\x08\x09\x0A\x0B\x0C\x00\x00",
        16);
    const std::unique_ptr<const TDeviceIndependentBitmap> dib = loadBmp(buildBmp(layout));
    EXPECT_EQ(dib->pixelColour(0, 0), RGB(3, 2, 1));
    EXPECT_EQ(dib->pixelColour(1, 0), RGB(6, 5, 4));
    EXPECT_EQ(dib->pixelColour(0, 1), RGB(9, 8, 7));
    EXPECT_EQ(dib->pixelColour(1, 1), RGB(12, 11, 10));
    expectThrowWithMessage<EScanError>([&] { dib->pixelIndex(0, 0); },
                                       QStringLiteral("Not a paletted DIB"));
}

TEST(DeviceIndependentBitmap, PixelByPositionAgreesWithTheReaderInEveryFormat) {
    for (TDIBFormat format : {TDIBFormat::dtMonochrome, TDIBFormat::dt4bit, TDIBFormat::dt8bit,
                              TDIBFormat::dt16bit, TDIBFormat::dt24bit, TDIBFormat::dt32bit}) {
        TDeviceIndependentBitmap dib(format, 7, 5);
        if (isMapped(format)) {
            std::vector<TColor> colours;
            for (int i = 0; i < (1 << bitsPerPixel(format)); ++i)
                colours.push_back(RGB(i * 37, i, 9));
            const TLogicalPalette table(colours);
            dib.SetColourTable(&table);
        }
        fillPattern(dib);
        const TDeviceIndependentBitmap& read = dib;
        auto reader = read.GetReader();
        std::uint8_t r, g, b;
        for (int y = 0; y < 5; ++y, reader->NextRow()) {
            for (int x = 0; reader->GetNextPixel(r, g, b); ++x) {
                EXPECT_EQ(read.pixelColour(x, y), RGB(r, g, b))
                    << int(format) << " " << x << "," << y;
            }
        }
    }
}

TEST(DeviceIndependentBitmap, PixelByPositionOutsideTheBitmapRaises) {
    const TDeviceIndependentBitmap dib(TDIBFormat::dt8bit, 4, 3);
    const QString message = QStringLiteral("Invalid Clipping rectangle");
    expectThrowWithMessage<EScanError>([&] { dib.pixelColour(4, 0); }, message);
    expectThrowWithMessage<EScanError>([&] { dib.pixelColour(0, 3); }, message);
    expectThrowWithMessage<EScanError>([&] { dib.pixelIndex(-1, 0); }, message);
    expectThrowWithMessage<EScanError>([&] { dib.pixelIndex(0, -1); }, message);
    EXPECT_EQ(dib.pixelIndex(3, 2), 0);
}
