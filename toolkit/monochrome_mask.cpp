#include "toolkit/monochrome_mask.h"

#include <algorithm>

namespace {

constexpr QRgb kColourBits = 0x00FFFFFF;

void setBit(uchar* row, int x, bool on) {
    const uchar bit = uchar(0x80 >> (x & 7));
    if (on) {
        row[x >> 3] |= bit;
    } else {
        row[x >> 3] &= uchar(~bit);
    }
}

}  // namespace

QImage monochromeMask(QSize size, const QImage& picture, QPoint at, QRgb background) {
    QImage mask(size, QImage::Format_Mono);
    if (mask.isNull()) return mask;
    mask.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    mask.fill(1);
    const QRect inside = QRect(at, picture.size()).intersected(mask.rect());
    if (inside.isEmpty()) return mask;
    const QImage colours = picture.convertToFormat(QImage::Format_RGB32);
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        const auto* source = reinterpret_cast<const QRgb*>(colours.constScanLine(y - at.y()));
        uchar* row = mask.scanLine(y);
        for (int x = inside.left(); x <= inside.right(); ++x) {
            setBit(row, x, ((source[x - at.x()] ^ background) & kColourBits) == 0);
        }
    }
    return mask;
}

namespace {

// Whole bytes at a time: the source's columns line up with the destination's.
void andAligned(QImage& dest, const QImage& source) {
    const int rows = std::min(dest.height(), source.height());
    const int width = std::min(dest.width(), source.width());
    const int bytes = width / 8;
    const uchar tailBits = uchar(0xFF00 >> (width % 8));
    for (int y = 0; y < rows; ++y) {
        uchar* to = dest.scanLine(y);
        const uchar* from = source.constScanLine(y);
        for (int i = 0; i < bytes; ++i) to[i] &= from[i];
        // Bits beyond the narrower mask stay as they are in `dest`.
        if (tailBits) to[bytes] &= uchar(from[bytes] | ~tailBits);
    }
}

bool bitAt(const uchar* row, int x) { return (row[x >> 3] & (0x80 >> (x & 7))) != 0; }

}  // namespace

void andMask(QImage& dest, const QImage& source, QPoint at) {
    if (at.isNull()) {
        andAligned(dest, source);
        return;
    }
    const QRect overlap = QRect(at, source.size()).intersected(dest.rect());
    for (int y = overlap.top(); y <= overlap.bottom(); ++y) {
        uchar* to = dest.scanLine(y);
        const uchar* from = source.constScanLine(y - at.y());
        for (int x = overlap.left(); x <= overlap.right(); ++x) {
            if (!bitAt(from, x - at.x())) setBit(to, x, false);
        }
    }
}
