#include "gif_frame_composer.h"

#include <QImageIOHandler>
#include <QPainter>
#include <functional>

#include "imaging/device_independent_bitmap.h"
#include "imaging/dib_layout.h"
#include "toolkit/bitmap.h"

namespace {

// Rows [0, rows) of the bitmap, columns [fromX, fromX + count), onto the
// screen lines that `line` gives; transparent pixels are left out.
template <int Bits>
void copyIndices(const TDeviceIndependentBitmap& dib, const QRgb* colours, int fromX, int count, int fromY,
                 int rows, int transparentIndex, const std::function<QRgb*(int)>& line) {
    const int stride = ((dib.GetWidth() * Bits + 31) / 32) * 4;
    const int height = std::abs(dib.GetHeight());
    const bool topDown = dib.isTopDown();
    for (int y = fromY; y < fromY + rows; ++y) {
        const std::uint8_t* row = dib.GetBits() + std::ptrdiff_t(topDown ? y : height - 1 - y) * stride;
        QRgb* out = line(y);
        for (int x = 0; x < count; ++x) {
            const int index = dibIndexAt<Bits>(row, fromX + x);
            if (index != transparentIndex) out[x] = colours[index];
        }
    }
}

}  // namespace

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

// Pixels outside the screen are clipped. An index beyond the colour table
// shows black, as a missing colour would.
void GifFrameComposer::drawBitmap(const TDeviceIndependentBitmap& dib, QPoint origin, int transparentIndex) {
    QRgb colours[256];
    const TRGBQuad* table = dib.GetColourTable();
    const int count = dib.GetNumColours();
    for (int i = 0; i < 256; ++i) {
        colours[i] = i < count ? qRgb(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue) : qRgb(0, 0, 0);
    }
    const QPoint from = lastRect_.topLeft() - origin;
    const auto line = [&](int y) {
        return reinterpret_cast<QRgb*>(screen_.scanLine(origin.y() + y)) + lastRect_.left();
    };
    const int width = lastRect_.width();
    const int rows = lastRect_.height();
    switch (dib.GetColourBits()) {
    case 8: copyIndices<8>(dib, colours, from.x(), width, from.y(), rows, transparentIndex, line); break;
    case 4: copyIndices<4>(dib, colours, from.x(), width, from.y(), rows, transparentIndex, line); break;
    default: copyIndices<1>(dib, colours, from.x(), width, from.y(), rows, transparentIndex, line); break;
    }
}
