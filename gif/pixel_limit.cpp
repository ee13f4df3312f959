#include "gif/pixel_limit.h"

#include "gif/gif_errors.h"
#include "gif/lzw_common.h"

void checkPixelLimit(std::int64_t width, std::int64_t height, std::int64_t limit) {
    if (width * height <= limit) return;
    throw EGIFError(QStringLiteral("Image of %1 x %2 pixels is over the limit of %3 pixels")
                        .arg(width)
                        .arg(height)
                        .arg(limit));
}

void checkFramesLimit(std::int64_t pixels, std::int64_t limit) {
    const std::int64_t total = kFramesPerPixelLimit * limit;
    if (pixels <= total) return;
    throw EGIFError(
        QStringLiteral("Frames of %1 pixels in all are over the limit of %2 pixels").arg(pixels).arg(total));
}

bool codedSizeCanHold(std::int64_t width, std::int64_t rows, std::int64_t dataBytes) {
    const std::int64_t pixels = width * rows;
    return pixels <= kPixelsWhateverTheData || dataBytes < 0 || pixels <= TZVQ_LZWCommon::maxPixelsIn(dataBytes);
}

void checkCodedSize(std::int64_t width, std::int64_t rows, std::int64_t dataBytes) {
    if (codedSizeCanHold(width, rows, dataBytes)) return;
    throw EGIFError(
        QStringLiteral("Image data too short for an image of %1 x %2 pixels").arg(width).arg(rows));
}
