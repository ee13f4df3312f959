#include "gif/screen_composer.h"

#include <QImage>
#include <algorithm>
#include <cstring>

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

void copyRow(int bits, const std::uint8_t* row, int fromX, int count, const std::uint32_t* colours,
             std::uint32_t* out, bool transparent) {
    switch (bits) {
    case 8: copyRow<8>(row, fromX, count, colours, out, transparent); break;
    case 4: copyRow<4>(row, fromX, count, colours, out, transparent); break;
    default: copyRow<1>(row, fromX, count, colours, out, transparent); break;
    }
}

// What each index of a paletted picture shows: 0 for the transparent one.
std::array<std::uint32_t, 256> shownColours(const TDeviceIndependentBitmap& picture, int transparentIndex) {
    std::array<std::uint32_t, 256> colours;
    const TRGBQuad* table = picture.GetColourTable();
    const int count = picture.GetNumColours();
    for (int i = 0; i < 256; ++i) {
        const TRGBQuad q = i < count ? table[i] : TRGBQuad{0, 0, 0, 0};
        colours[std::size_t(i)] = i == transparentIndex ? 0u : 0xFF000000u | std::uint32_t(q.rgbRed) << 16 |
                                                                 std::uint32_t(q.rgbGreen) << 8 | q.rgbBlue;
    }
    return colours;
}

// The first of @p count bytes where a and b differ (count when none do),
// eight at a time.
std::size_t firstDifference(const std::uint8_t* a, const std::uint8_t* b, std::size_t count) {
    std::size_t i = 0;
    for (std::uint64_t x, y; i + 8 <= count; i += 8) {
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        if (x != y) break;
    }
    while (i < count && a[i] == b[i]) ++i;
    return i;
}

// The last of @p count bytes where a and b differ, which some must.
std::size_t lastDifference(const std::uint8_t* a, const std::uint8_t* b, std::size_t count) {
    std::size_t end = count;
    for (std::uint64_t x, y; end >= 8; end -= 8) {
        std::memcpy(&x, a + end - 8, 8);
        std::memcpy(&y, b + end - 8, 8);
        if (x != y) break;
    }
    while (a[end - 1] == b[end - 1]) --end;
    return end - 1;
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
    // What the last graphic drew is still on the screen where it was.
    const bool lastShows = lastDisposal_ != TDisposalMethods::dmRestoreBackground &&
                           lastDisposal_ != TDisposalMethods::dmRestorePrevious;
    const QRect lastRect = lastRect_;
    lastRect_ = QRect(info.Origin, QSize(picture.GetWidth(), std::abs(picture.GetHeight()))).intersected(rect());
    lastDisposal_ = info.DisposalMethod;
    underLast_.clear();
    if (lastDisposal_ == TDisposalMethods::dmRestorePrevious && !lastRect_.isEmpty()) {
        underLast_.reserve(std::size_t(lastRect_.width()) * std::size_t(lastRect_.height()));
        for (int y = lastRect_.top(); y <= lastRect_.bottom(); ++y) {
            underLast_.insert(underLast_.end(), line(y) + lastRect_.left(), line(y) + lastRect_.right() + 1);
        }
    }
    if (lastRect_.isEmpty() || !isMapped(picture.GetDIBType())) {
        drawn_.bits = 0;
        if (!lastRect_.isEmpty()) drawTrueColour(picture, info.Origin);
        return disposed.united(lastRect_);
    }
    return disposed.united(drawMapped(picture, info.Origin, transparentIndex, lastShows && lastRect == lastRect_));
}

void drawMappedPicture(const TDeviceIndependentBitmap& picture, QPoint origin, const QRect& area,
                       int transparentIndex, const std::function<std::uint32_t*(int y)>& line) {
    const std::array<std::uint32_t, 256> colours = shownColours(picture, transparentIndex);
    const bool transparent = transparentIndex >= 0 && transparentIndex < 256;
    const QPoint from = area.topLeft() - origin;
    for (int y = 0; y < area.height(); ++y) {
        copyRow(picture.GetColourBits(), picture.rowFromTop(from.y() + y), from.x(), area.width(), colours.data(),
                line(area.top() + y) + area.left(), transparent);
    }
}

// Row by row, where the picture's packed indices are those the last picture
// drew at the same place with the same colours, the screen already shows
// them; only the bytes that differ are drawn. Returns what was drawn.
QRect TGIFScreenComposer::drawMapped(const TDeviceIndependentBitmap& picture, QPoint origin, int transparentIndex,
                                     bool overLast) {
    const std::array<std::uint32_t, 256> colours = shownColours(picture, transparentIndex);
    const bool transparent = transparentIndex >= 0 && transparentIndex < 256;
    const int bits = picture.GetColourBits();
    const QPoint from = lastRect_.topLeft() - origin;
    const int width = lastRect_.width();
    // Rows are compared in whole bytes from the area's first pixel.
    const bool aligned = from.x() * bits % 8 == 0;
    const bool compare = overLast && aligned && drawn_.bits == bits && drawn_.colours == colours;
    const std::size_t rowBytes = (std::size_t(width) * std::size_t(bits) + 7) / 8;
    drawn_.bits = aligned ? bits : 0;
    drawn_.colours = colours;
    if (aligned) drawn_.rows.resize(rowBytes * std::size_t(lastRect_.height()));
    int top = -1, bottom = -1, left = width, right = -1;
    for (int y = 0; y < lastRect_.height(); ++y) {
        const std::uint8_t* row = picture.rowFromTop(from.y() + y);
        const std::uint8_t* bytes = row + from.x() * bits / 8;
        std::uint8_t* stored = aligned ? drawn_.rows.data() + std::size_t(y) * rowBytes : nullptr;
        int first = 0, last = width - 1;
        if (compare) {
            if (std::memcmp(bytes, stored, rowBytes) == 0) continue;
            const std::size_t firstByte = firstDifference(bytes, stored, rowBytes);
            const std::size_t lastByte = lastDifference(bytes, stored, rowBytes);
            first = int(firstByte * 8 / std::size_t(bits));
            last = std::min(width - 1, int((lastByte + 1) * 8 / std::size_t(bits)) - 1);
        }
        std::uint32_t* out = line(lastRect_.top() + y) + lastRect_.left() + first;
        copyRow(bits, row, from.x() + first, last - first + 1, colours.data(), out, transparent);
        if (aligned) std::memcpy(stored, bytes, rowBytes);
        if (top < 0) top = y;
        bottom = y;
        left = std::min(left, first);
        right = std::max(right, last);
    }
    if (top < 0) return {};
    return QRect(QPoint(left, top), QPoint(right, bottom)).translated(lastRect_.topLeft());
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
