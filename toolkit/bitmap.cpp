#include "toolkit/bitmap.h"

#include <QBuffer>
#include <QPainter>

#include "toolkit/default_palette.h"
#include "toolkit/streams.h"

namespace {

constexpr auto kNoDither = Qt::ThresholdDither | Qt::AvoidDither | Qt::ColorOnly;

TPixelFormat formatOf(const QImage& image) {
    switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        return TPixelFormat::pf1bit;
    case QImage::Format_Indexed8:
        return image.colorCount() <= 16 ? TPixelFormat::pf4bit : TPixelFormat::pf8bit;
    case QImage::Format_RGB555:
        return TPixelFormat::pf15bit;
    case QImage::Format_RGB16:
        return TPixelFormat::pf16bit;
    case QImage::Format_RGB888:
    case QImage::Format_BGR888:
        return TPixelFormat::pf24bit;
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        return TPixelFormat::pf32bit;
    default:
        return TPixelFormat::pfDevice;
    }
}

TColorTable sixteenColours() {
    // The basic colours of the default palette: its first and last eight.
    TColorTable table;
    for (std::size_t i = 0; i < kDefaultPalette.size(); ++i) {
        if (i < 8 || i >= 12) table.append(toQColor(kDefaultPalette[i]).rgb());
    }
    return table;
}

QImage convertedTo(const QImage& image, TPixelFormat format) {
    switch (format) {
    case TPixelFormat::pf1bit:
        return image.convertToFormat(QImage::Format_Mono, kNoDither);
    case TPixelFormat::pf4bit:
        if (image.format() == QImage::Format_Indexed8 && image.colorCount() <= 16) return image;
        return image.convertToFormat(QImage::Format_Indexed8, sixteenColours(), kNoDither);
    case TPixelFormat::pf8bit:
        if (image.format() == QImage::Format_Indexed8) return image;
        return image.convertToFormat(QImage::Format_Indexed8, kNoDither);
    case TPixelFormat::pf15bit:
        return image.convertToFormat(QImage::Format_RGB555);
    case TPixelFormat::pf16bit:
        return image.convertToFormat(QImage::Format_RGB16);
    case TPixelFormat::pf24bit:
        return image.convertToFormat(QImage::Format_RGB888);
    case TPixelFormat::pf32bit:
    case TPixelFormat::pfDevice:
        return image.convertToFormat(QImage::Format_RGB32);
    }
    return image;
}

}  // namespace

TBitmap::TBitmap() : canvas_(std::make_unique<TCanvas>(&image_)) {}

TBitmap::~TBitmap() = default;

void TBitmap::Assign(TPersistent* source) {
    auto* other = dynamic_cast<TBitmap*>(source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    if (other == this) return;
    image_ = other->image_;
    pixelFormat_ = other->pixelFormat_;
    palette_ = other->palette_;
    transparent_ = other->transparent_;
    transparentMode_ = other->transparentMode_;
    transparentColor_ = other->transparentColor_;
}

void TBitmap::SetSize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == Width() && height == Height()) return;
    if (width == 0 || height == 0) {
        image_ = QImage();
        return;
    }
    QImage resized(width, height, QImage::Format_RGB32);
    resized.fill(Qt::white);
    if (!image_.isNull()) {
        QPainter painter(&resized);
        painter.drawImage(0, 0, image_);
    }
    image_ = pixelFormat_ == TPixelFormat::pfDevice ? resized : convertedTo(resized, pixelFormat_);
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
    pixelFormat_ = format;
    if (!image_.isNull()) image_ = convertedTo(image_, format);
}

TColorTable TBitmap::Palette() const {
    if (image_.format() == QImage::Format_Indexed8 || image_.format() == QImage::Format_Mono ||
        image_.format() == QImage::Format_MonoLSB) {
        return image_.colorTable();
    }
    return palette_;
}

void TBitmap::SetPalette(const TColorTable& palette) {
    palette_ = palette;
    if (image_.colorCount() > 0 && !palette.isEmpty()) {
        // Indices beyond the new table would be undefined: keep the table at
        // least as long as it was.
        TColorTable table = palette;
        while (table.size() < image_.colorCount()) table.append(qRgb(0, 0, 0));
        image_.setColorTable(table);
    }
}

TColor TBitmap::TransparentColor() const {
    if (transparentMode_ == TTransparentMode::tmFixed || image_.isNull()) return transparentColor_;
    return fromQColor(image_.pixelColor(0, image_.height() - 1));
}

void TBitmap::SetTransparentColor(TColor color) {
    transparentColor_ = color;
    transparentMode_ = TTransparentMode::tmFixed;
}

TCanvas* TBitmap::Canvas() {
    if (!image_.isNull() && image_.format() != QImage::Format_RGB32 &&
        image_.format() != QImage::Format_ARGB32_Premultiplied &&
        image_.format() != QImage::Format_ARGB32) {
        image_ = image_.convertToFormat(QImage::Format_RGB32);
        pixelFormat_ = TPixelFormat::pfDevice;
    }
    return canvas_.get();
}

void TBitmap::SetImage(const QImage& image) {
    image_ = image;
    pixelFormat_ = formatOf(image);
}

void TBitmap::LoadFromStream(TStream* stream) {
    const std::int64_t size = stream->Size() - stream->Position();
    if (size <= 0 || size > std::numeric_limits<int>::max()) throw EInvalidGraphic();
    QByteArray bytes(int(size), Qt::Uninitialized);
    stream->ReadBuffer(bytes.data(), size);
    QImage image;
    if (!image.loadFromData(bytes, "BMP")) throw EInvalidGraphic();
    SetImage(image);
}

void TBitmap::SaveToStream(TStream* stream) const {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image_.save(&buffer, "BMP")) throw EInvalidGraphic();
    stream->WriteBuffer(bytes.constData(), bytes.size());
}

void TBitmap::LoadFromFile(const QString& fileName) {
    TFileStream file(fileName, TFileMode::OpenRead);
    LoadFromStream(&file);
}

void TBitmap::SaveToFile(const QString& fileName) const {
    TFileStream file(fileName, TFileMode::Create);
    SaveToStream(&file);
}
