#include "gif/screen_composer.h"

#include <QImage>
#include <algorithm>

#include "imaging/device_independent_bitmap.h"
#include "imaging/dib_layout.h"

namespace {

// Without a transparent index every pixel is stored, which the compiler
// keeps free of branches.
template <int Bits, bool Transparent>
void copyRow(const std::uint8_t* row, int fromX, int count, const std::uint32_t* colours, std::uint32_t* out) {
    for (int x = 0; x < count; ++x) {
        const std::uint32_t colour = colours[dibIndexAt<Bits>(row, fromX + x)];
        if (!Transparent || colour != 0) out[x] = colour;
    }
}

template <int Bits>
void copyRow(const std::uint8_t* row, int fromX, int count, const std::uint32_t* colours, std::uint32_t* out,
             bool transparent) {
    if (transparent) {
        copyRow<Bits, true>(row, fromX, count, colours, out);
    } else {
        copyRow<Bits, false>(row, fromX, count, colours, out);
    }
}

}  // namespace

TGIFScreenComposer::TGIFScreenComposer(int width, int height)
    : width_(std::max(width, 1)), height_(std::max(height, 1)), screen_(std::size_t(width_) * std::size_t(height_)) {}

QRect TGIFScreenComposer::dispose() {
    if (lastRect_.isEmpty()) return {};
    if (lastDisposal_ == TDisposalMethods::dmRestoreBackground) {
        for (int y = lastRect_.top(); y <= lastRect_.bottom(); ++y) {
            std::fill_n(line(y) + lastRect_.left(), lastRect_.width(), 0u);
        }
        return lastRect_;
    }
    if (lastDisposal_ != TDisposalMethods::dmRestorePrevious) return {};
    for (int y = 0; y < lastRect_.height(); ++y) {
        std::copy_n(underLast_.data() + std::size_t(y) * std::size_t(lastRect_.width()), lastRect_.width(),
                    line(lastRect_.top() + y) + lastRect_.left());
    }
    return lastRect_;
}

QRect TGIFScreenComposer::add(const TDeviceIndependentBitmap& picture, const TGIFGraphicControlInfo& info,
                              int transparentIndex) {
    const QRect disposed = dispose();
    lastRect_ = QRect(info.Origin, QSize(picture.GetWidth(), std::abs(picture.GetHeight()))).intersected(rect());
    lastDisposal_ = info.DisposalMethod;
    underLast_.clear();
    if (lastDisposal_ == TDisposalMethods::dmRestorePrevious && !lastRect_.isEmpty()) {
        underLast_.reserve(std::size_t(lastRect_.width()) * std::size_t(lastRect_.height()));
        for (int y = lastRect_.top(); y <= lastRect_.bottom(); ++y) {
            underLast_.insert(underLast_.end(), line(y) + lastRect_.left(), line(y) + lastRect_.right() + 1);
        }
    }
    if (lastRect_.isEmpty()) return disposed;
    if (isMapped(picture.GetDIBType())) {
        drawMappedPicture(picture, info.Origin, lastRect_, transparentIndex, [this](int y) { return line(y); });
    } else {
        drawTrueColour(picture, info.Origin);
    }
    return disposed.united(lastRect_);
}

void drawMappedPicture(const TDeviceIndependentBitmap& picture, QPoint origin, const QRect& area,
                       int transparentIndex, const std::function<std::uint32_t*(int y)>& line) {
    std::uint32_t colours[256];
    const TRGBQuad* table = picture.GetColourTable();
    const int count = picture.GetNumColours();
    for (int i = 0; i < 256; ++i) {
        const TRGBQuad q = i < count ? table[i] : TRGBQuad{0, 0, 0, 0};
        colours[i] = i == transparentIndex ? 0u : 0xFF000000u | std::uint32_t(q.rgbRed) << 16 |
                                                      std::uint32_t(q.rgbGreen) << 8 | q.rgbBlue;
    }
    const bool transparent = transparentIndex >= 0 && transparentIndex < 256;
    const int bits = picture.GetColourBits();
    const int stride = ((picture.GetWidth() * bits + 31) / 32) * 4;
    const int height = std::abs(picture.GetHeight());
    const QPoint from = area.topLeft() - origin;
    for (int y = 0; y < area.height(); ++y) {
        const int source = from.y() + y;
        const std::uint8_t* row =
            picture.GetBits() + std::ptrdiff_t(picture.isTopDown() ? source : height - 1 - source) * stride;
        std::uint32_t* out = line(area.top() + y) + area.left();
        switch (bits) {
        case 8: copyRow<8>(row, from.x(), area.width(), colours, out, transparent); break;
        case 4: copyRow<4>(row, from.x(), area.width(), colours, out, transparent); break;
        default: copyRow<1>(row, from.x(), area.width(), colours, out, transparent); break;
        }
    }
}

void TGIFScreenComposer::drawTrueColour(const TDeviceIndependentBitmap& picture, QPoint origin) {
    const QImage image = picture.toImage();
    const TColor key = picture.GetTransparentColour();
    const QRgb transparent = qRgb(GetRValue(key), GetGValue(key), GetBValue(key));
    const bool keyed = picture.GetTransparent();
    const QPoint from = lastRect_.topLeft() - origin;
    for (int y = 0; y < lastRect_.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(image.constScanLine(from.y() + y)) + from.x();
        std::uint32_t* out = line(lastRect_.top() + y) + lastRect_.left();
        for (int x = 0; x < lastRect_.width(); ++x) {
            const QRgb colour = in[x] | 0xFF000000u;
            if (!keyed || colour != transparent) out[x] = colour;
        }
    }
}
