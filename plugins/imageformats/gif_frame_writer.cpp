#include "gif_frame_writer.h"

#include <QBuffer>
#include <QFileDevice>
#include <QImage>
#include <QSet>

#include "gif/Zvqgif.h"
#include "gif/clip_palette.h"
#include "gif/frame_optimizer.h"
#include "imaging/Zvqgraph.h"
#include "toolkit/streams.h"
#include "toolkit/bitmap.h"

namespace {

// The image as a true-colour bitmap; pixels less than half opaque take a
// colour the picture does not use, which becomes the transparent one.
std::unique_ptr<TDeviceIndependentBitmap> bitmapFor(const QImage& image) {
    QImage rgb = image.convertToFormat(QImage::Format_ARGB32);
    bool seeThrough = false;
    QRgb key = qRgb(255, 0, 255);
    if (image.hasAlphaChannel()) {
        QSet<QRgb> used;
        for (int y = 0; y < rgb.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
            for (int x = 0; x < rgb.width(); ++x) {
                if (qAlpha(line[x]) < 128) seeThrough = true; else used.insert(line[x] | 0xFF000000);
            }
        }
        while (used.contains(key)) key = qRgb(qRed(key), (qGreen(key) + 1) & 0xFF, qBlue(key) ^ 1);
        for (int y = 0; seeThrough && y < rgb.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(rgb.scanLine(y));
            for (int x = 0; x < rgb.width(); ++x) {
                if (qAlpha(line[x]) < 128) line[x] = key;
            }
        }
    }
    TBitmap bitmap;
    bitmap.SetImage(rgb.convertToFormat(QImage::Format_RGB32));
    auto dib = std::make_unique<TDeviceIndependentBitmap>(&bitmap, TDIBFormat::dt24bit);
    if (seeThrough) {
        dib->SetTransparent(true);
        dib->SetTransparentColour(RGB(qRed(key), qGreen(key), qBlue(key)));
    }
    return dib;
}

}  // namespace

GifFrameWriter::GifFrameWriter(QIODevice* device) : device_(device) {
    if (!device->isSequential()) lastFrameAt_ = device->pos();
    closing_ = QObject::connect(device, &QIODevice::aboutToClose, [this] {
        try {
            finish();
        } catch (...) {
            // Qt's signal cannot carry the fault; the device is going.
        }
    });
}

GifFrameWriter::~GifFrameWriter() {
    QObject::disconnect(closing_);
    try {
        finish();
    } catch (...) {
        // The device has failed before; nothing more can be written.
    }
}

void GifFrameWriter::add(const QImage& image, const TGIFGraphicControlInfo& info, std::optional<int> loopCount) {
    const std::unique_ptr<TDeviceIndependentBitmap> picture = bitmapFor(image);
    TGIFClipOptions options;
    options.sharedPalette = false;
    // Pictures of 256 colours or fewer keep them exactly.
    options.quality = TGIFPaletteQuality::High;
    if (picture->GetTransparent()) options.transparent = picture->GetTransparentColour();
    const TGIFIndexedClip clip = indexedClip({picture.get()}, options);
    const TDeviceIndependentBitmap& indexed = *clip.pictures.front();
    if (!optimizer_) {
        optimizer_ = std::make_unique<TGIFFrameOptimizer>(indexed.GetWidth(), std::abs(indexed.GetHeight()));
        optimizer_->setLoopCount(loopCount);
    }
    optimizer_->addFrame(indexed, info, clip.transparentIndices.front());
    TMemoryStream out;
    const std::int64_t tail = optimizer_->writeSoFar(&out);
    const QByteArray& bytes = out.bytes();
    if (lastFrameAt_ < 0) {
        device_->write(bytes.left(tail));
        pendingTail_ = bytes.mid(tail);
        return;
    }
    device_->seek(lastFrameAt_);
    device_->write(bytes);
    lastFrameAt_ += tail;
    const qint64 end = device_->pos();
    if (auto* file = qobject_cast<QFileDevice*>(device_)) {
        file->flush();
        file->resize(end);
    } else if (auto* buffer = qobject_cast<QBuffer*>(device_)) {
        buffer->buffer().resize(end);
    }
}

void GifFrameWriter::finish() {
    if (device_ && device_->isOpen() && !pendingTail_.isEmpty()) {
        device_->write(pendingTail_);
        // A file device drops what it holds unwritten as it closes.
        if (auto* file = qobject_cast<QFileDevice*>(device_.data())) file->flush();
    }
    pendingTail_.clear();
}
