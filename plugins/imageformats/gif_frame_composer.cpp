#include "gif_frame_composer.h"

#include <QImageIOHandler>
#include <QPainter>

#include "gif/screen_composer.h"
#include "imaging/device_independent_bitmap.h"
#include "toolkit/bitmap.h"

bool GifFrameComposer::start(int width, int height) {
    underLast_ = QImage();
    lastRect_ = QRect();
    lastDisposal_ = TDisposalMethods::dmNone;
    if (!QImageIOHandler::allocateImage(QSize(std::max(width, 1), std::max(height, 1)), QImage::Format_ARGB32,
                                        &screen_)) {
        screen_ = QImage();
        return false;
    }
    screen_.fill(Qt::transparent);
    return true;
}

void GifFrameComposer::dispose() {
    if (lastRect_.isEmpty()) return;
    if (lastDisposal_ == TDisposalMethods::dmRestoreBackground) {
        for (int y = lastRect_.top(); y <= lastRect_.bottom(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(screen_.scanLine(y));
            std::fill(line + lastRect_.left(), line + lastRect_.right() + 1, QRgb(0));
        }
    } else if (lastDisposal_ == TDisposalMethods::dmRestorePrevious && !underLast_.isNull()) {
        QPainter painter(&screen_);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(lastRect_.topLeft(), underLast_);
    }
}

void GifFrameComposer::add(TZVQExtGraphic* graphic, const TGIFGraphicControlInfo& info, int transparentIndex) {
    dispose();
    lastRect_ = QRect(info.Origin, QSize(graphic->GetWidth(), graphic->GetHeight())).intersected(screen_.rect());
    lastDisposal_ = info.DisposalMethod;
    underLast_ = lastDisposal_ == TDisposalMethods::dmRestorePrevious ? screen_.copy(lastRect_) : QImage();
    if (lastRect_.isEmpty()) return;
    if (auto* dib = dynamic_cast<TDeviceIndependentBitmap*>(graphic)) {
        drawBitmap(*dib, info.Origin, transparentIndex);
    } else {
        QPainter(&screen_).drawImage(info.Origin, graphic->AsBitmap()->Image());
    }
}

// Pixels outside the screen are clipped.
void GifFrameComposer::drawBitmap(const TDeviceIndependentBitmap& dib, QPoint origin, int transparentIndex) {
    drawMappedPicture(dib, origin, lastRect_, transparentIndex,
                      [this](int y) { return reinterpret_cast<std::uint32_t*>(screen_.scanLine(y)); });
}
