// The bitmap and the window toolkit: toolkit bitmaps, drawing, the clipboard.
#include <algorithm>
#include <cmath>

#include "imaging/device_independent_bitmap.h"
#include "imaging/imaging_errors.h"
#include "imaging/logical_palette.h"
#include "imaging/pixel_readers.h"
#include "imaging/pixel_writers.h"
#include "imaging/quantizer.h"
#include "toolkit/bitmap.h"
#include "toolkit/picture.h"
#include "toolkit/clipboard.h"
#include "toolkit/default_palette.h"
#include "toolkit/streams.h"

namespace {

bool isIndexed(const QImage& image) {
    return image.format() == QImage::Format_Indexed8 || image.format() == QImage::Format_Mono ||
           image.format() == QImage::Format_MonoLSB;
}

// The palette a paletted bitmap gets from a true-colour image: black and
// white, the sixteen basic colours, or the image's own median cut.
std::unique_ptr<TLogicalPalette> paletteForImage(TDIBFormat format, TDeviceIndependentBitmap* image) {
    TColorTable table;
    if (format == TDIBFormat::dtMonochrome) {
        table = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
    } else if (format == TDIBFormat::dt4bit) {
        for (std::size_t i = 0; i < kDefaultPalette.size(); ++i) {
            if (i < 8 || i >= 12) table.append(toQColor(kDefaultPalette[i]).rgb());
        }
    } else {
        return std::make_unique<TQuantizedPalette>(image, TLogicalPalette::kMaxColours);
    }
    return std::make_unique<TLogicalPalette>(&table);
}

void writeIndices(TDeviceIndependentBitmap* dib, const QImage& indexed) {
    std::unique_ptr<TDIBWriter> writer = dib->GetWriter();
    auto* mapped = static_cast<TDIBMappedWriter*>(writer.get());
    for (int y = 0; y < indexed.height(); ++y) {
        const uchar* line = indexed.constScanLine(y);
        for (int x = 0; x < indexed.width(); ++x) mapped->SetNextIndex(line[x]);
        mapped->NextRow();
    }
}

// An RGB32 image of the bitmap's size into its 24-bit rows (blue, green,
// red), a row at a time.
void writeRgbRows(TDeviceIndependentBitmap* dib, const QImage& rgb) {
    const int width = std::min(rgb.width(), dib->GetWidth());
    const int height = std::min(rgb.height(), dib->GetHeight());
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        std::uint8_t* out = dib->rowFromTop(y);
        for (int x = 0; x < width; ++x, out += 3) {
            out[0] = std::uint8_t(qBlue(line[x]));
            out[1] = std::uint8_t(qGreen(line[x]));
            out[2] = std::uint8_t(qRed(line[x]));
        }
    }
}

}  // namespace

void TDeviceIndependentBitmap::GetBitmapDimensions(const TBitmap* bitmap, int& width, int& height) {
    width = bitmap->Width();
    height = bitmap->Height();
}

void TDeviceIndependentBitmap::LoadBitmap(TDIBFormat format, TBitmap* bitmap) {
    int width = 0, height = 0;
    GetBitmapDimensions(bitmap, width, height);
    ReAlloc(format, width, height);
    Bitmap2DIB(bitmap);
}

void TDeviceIndependentBitmap::Bitmap2DIB(TBitmap* bitmap) {
    const QImage& image = bitmap->Image();
    if (image.isNull()) throw EDIBError(QStringLiteral("Cannot obtain a Device Independent Bitmap"));
    const TDIBFormat format = GetDIBType();
    if (image.width() != GetWidth() || image.height() != GetHeight()) {
        ReAlloc(format, image.width(), image.height());
    }
    if (!isMapped(format)) {
        writeImage(image);
    } else if (isIndexed(image) && image.colorCount() <= (1 << bitsPerPixel(format))) {
        // Indexed images keep their indices: a nearest-colour search could
        // move a pixel to a twin entry.
        const QImage indexed = image.convertToFormat(QImage::Format_Indexed8);
        const TColorTable table = indexed.colorTable();
        writeIndices(this, indexed);
        const TLogicalPalette palette(&table);
        SetColourTable(&palette);
    } else {
        TDeviceIndependentBitmap trueColour(TDIBFormat::dt24bit, image.width(), image.height());
        trueColour.writeImage(image);
        const std::unique_ptr<TLogicalPalette> palette = paletteForImage(format, &trueColour);
        std::unique_ptr<TDIBWriter> writer = GetWriter();
        static_cast<TDIBMappedWriter*>(writer.get())->SetPalette(palette.get());
        writer->CopyDIB(&trueColour);
        SetColourTable(palette.get());
    }
    PackDIB();
    const bool fixed = bitmap->Transparent() && bitmap->TransparentMode() == TTransparentMode::tmFixed;
    SetTransparent(fixed);
    if (fixed) SetTransparentColour(bitmap->TransparentColor());
}

void TDeviceIndependentBitmap::writeImage(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    if (GetDIBType() == TDIBFormat::dt24bit) {
        writeRgbRows(this, rgb);
        return;
    }
    std::unique_ptr<TDIBWriter> writer = GetWriter();
    for (int y = 0; y < rgb.height() && !writer->EndOfScan(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            writer->SetNextPixel(std::uint8_t(qRed(line[x])), std::uint8_t(qGreen(line[x])),
                                 std::uint8_t(qBlue(line[x])));
        }
        writer->NextRow();
    }
}

QImage TDeviceIndependentBitmap::toImage() const {
    if (GetWidth() <= 0 || GetHeight() <= 0) return QImage();
    QImage image(GetWidth(), GetHeight(), QImage::Format_RGB32);
    std::unique_ptr<TDIBReader> reader = GetReader();
    std::uint8_t red, green, blue;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; reader->GetNextPixel(red, green, blue); ++x) line[x] = qRgb(red, green, blue);
        reader->NextRow();
    }
    return image;
}

std::unique_ptr<TBitmap> TDeviceIndependentBitmap::AsBitmap() {
    TMemoryStream stream;
    SaveToStream(&stream);
    stream.SetPosition(0);
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->LoadFromStream(&stream);
    return bitmap;
}

void TDeviceIndependentBitmap::Draw(TCanvas* canvas, const QRect& rect) {
    if (GetWidth() <= 0 || GetHeight() <= 0) return;
    int width = rect.width(), height = rect.height();
    if (width != GetWidth() || height != GetHeight()) {
        const double ratio = double(GetWidth()) / GetHeight();
        if (width > height * ratio) {
            width = int(std::lround(height * ratio));
        } else {
            height = int(std::lround(width / ratio));
        }
    }
    canvas->StretchDraw(QRect(rect.topLeft(), QSize(width, height)), toImage());
}

void TDeviceIndependentBitmap::CopyToClipboard() {
    TMemoryStream stream;
    SaveToStream(&stream);
    Clipboard()->setDibData(stream.bytes());
}

void TDeviceIndependentBitmap::PasteFromClipboard() {
    const QByteArray bytes =
        Clipboard()->HasFormat(TClipboardFormat::DIB) ? Clipboard()->dibData() : QByteArray();
    if (bytes.isEmpty()) throw EDIBError(QStringLiteral("Clipboard does not contain a DIB!"));
    TMemoryStream stream(bytes);
    LoadFromStream(&stream);
}

void TDeviceIndependentBitmap::Assign(TPersistent* source) {
    if (auto* bitmap = dynamic_cast<TBitmap*>(source)) {
        LoadBitmap(GetDIBType(), bitmap);
    } else if (auto* picture = dynamic_cast<TPicture*>(source)) {
        LoadBitmap(GetDIBType(), picture->Bitmap());
    } else if (dynamic_cast<TClipboard*>(source)) {
        PasteFromClipboard();
    } else {
        TZVQExtGraphic::Assign(source);
    }
}

void TDeviceIndependentBitmap::AssignTo(TPersistent* dest) {
    if (dynamic_cast<TClipboard*>(dest)) {
        CopyToClipboard();
    } else {
        TZVQExtGraphic::AssignTo(dest);
    }
}
