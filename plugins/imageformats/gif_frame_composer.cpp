#include "gif_frame_composer.h"

#include <QPainter>

#include "gif/plain_text.h"
#include "imaging/device_independent_bitmap.h"
#include "imaging/pixel_readers.h"
#include "toolkit/bitmap.h"

void GifFrameComposer::start(int width, int height) {
    screen_ = QImage(std::max(width, 1), std::max(height, 1), QImage::Format_ARGB32);
    screen_.fill(Qt::transparent);
    beforeLast_ = QImage();
    lastRect_ = QRect();
    lastDisposal_ = TDisposalMethods::dmNone;
}

void GifFrameComposer::dispose() {
    if (lastDisposal_ == TDisposalMethods::dmRestoreBackground) {
        QPainter painter(&screen_);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(lastRect_, Qt::transparent);
    } else if (lastDisposal_ == TDisposalMethods::dmRestorePrevious && !beforeLast_.isNull()) {
        screen_ = beforeLast_;
    }
}

const QImage& GifFrameComposer::add(TZVQExtGraphic* graphic, const TGIFGraphicControlInfo& info,
                                    int transparentIndex) {
    dispose();
    beforeLast_ = info.DisposalMethod == TDisposalMethods::dmRestorePrevious ? screen_.copy() : QImage();
    lastDisposal_ = info.DisposalMethod;
    lastRect_ = QRect(info.Origin, QSize(graphic->GetWidth(), graphic->GetHeight())).intersected(screen_.rect());
    draw(graphic, info.Origin, transparentIndex);
    return screen_;
}

// Pixels outside the screen are clipped.
void GifFrameComposer::draw(TZVQExtGraphic* graphic, QPoint origin, int transparentIndex) {
    auto* dib = dynamic_cast<TDeviceIndependentBitmap*>(graphic);
    if (!dib) {
        QPainter(&screen_).drawImage(origin, graphic->AsBitmap()->Image());
        return;
    }
    std::unique_ptr<TDIBReader> reader = dib->GetReader();
    auto* mapped = static_cast<TDIBMappedReader*>(reader.get());
    const TRGBQuad* table = dib->GetColourTable();
    const int colours = dib->GetNumColours();
    for (int y = 0; !reader->EndOfScan(); ++y, reader->NextRow()) {
        const int screenY = origin.y() + y;
        auto* line = screenY >= 0 && screenY < screen_.height() ? reinterpret_cast<QRgb*>(screen_.scanLine(screenY))
                                                               : nullptr;
        std::uint8_t index;
        for (int x = 0; mapped->GetNextColourIndex(index); ++x) {
            const int screenX = origin.x() + x;
            if (!line || screenX >= screen_.width() || index == transparentIndex) continue;
            // An index beyond the table shows black, as a missing colour would.
            line[screenX] = index < colours ? qRgb(table[index].rgbRed, table[index].rgbGreen, table[index].rgbBlue)
                                            : qRgb(0, 0, 0);
        }
    }
}
