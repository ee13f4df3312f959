#include "imaging/pixel_iterators.h"

#include <algorithm>
#include <bit>

#include "imaging/device_independent_bitmap.h"
#include "imaging/dib_layout.h"
#include "imaging/imaging_errors.h"

TDIBIterator::TDIBIterator(TDeviceIndependentBitmap* dib, int rowBytes)
    : rowBytes_(rowBytes),
      bits_(dib->GetBits()),
      height_(dib->GetHeight()),
      width_(dib->GetWidth()),
      topDown_(dib->isTopDown()),
      pixelBytes_(dib->GetColourBits() / 8),
      stride_((std::int64_t(rowBytes) + 3) & ~std::int64_t(3)) {
    SetClipRect(QRect(QPoint(0, 0), QPoint(width_ - 1, height_ - 1)));
}

int TDIBIterator::BitsIn(std::uint32_t mask) { return std::popcount(mask); }

int TDIBIterator::LoBit(std::uint32_t mask) { return mask == 0 ? 0 : std::countr_zero(mask); }

void TDIBIterator::SetMasks(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
    redMask_ = red;
    greenMask_ = green;
    blueMask_ = blue;
    redShift_ = LoBit(red) + BitsIn(red) - 8;
    greenShift_ = LoBit(green) + BitsIn(green) - 8;
    blueShift_ = LoBit(blue) + BitsIn(blue) - 8;
}

void TDIBIterator::SetClipRect(const QRect& rect) {
    const int left = std::max(rect.left(), 0);
    const int top = std::max(rect.top(), 0);
    const int right = std::min(rect.right(), width_ - 1);
    const int bottom = std::min(rect.bottom(), height_ - 1);
    if (right < left || bottom < top) throw EScanError(QStringLiteral("Invalid Clipping rectangle"));
    clipLeft_ = left;
    clipTop_ = top;
    clipRight_ = right;
    clipBottom_ = bottom;
    Reset(0, 1);
}

QRect TDIBIterator::GetClipRect() const {
    return QRect(QPoint(clipLeft_, clipTop_), QPoint(clipRight_, clipBottom_));
}

void TDIBIterator::Reset(int first, int step) {
    if (first < 0 || step < 1) throw EScanError(QStringLiteral("Invalid scan order"));
    rowStepRows_ = step;
    imageRow_ = std::int64_t(first) + clipTop_;
    const std::int64_t rows = (std::int64_t(clipBottom_) + 1 - imageRow_ + step - 1) / step;
    rowsLeft_ = int(std::max<std::int64_t>(rows, 0));
    endOfScan_ = rowsLeft_ <= 0;
    rowStep_ = step * stride_;
    rowPtr_ = endOfScan_ ? nullptr : rowAt(imageRow_);
    SetBackwardsScan(backwards_);
}

bool TDIBIterator::NextRow() {
    Flush();
    if (rowsLeft_ > 0) --rowsLeft_;
    endOfScan_ = rowsLeft_ <= 0;
    if (!endOfScan_) {
        imageRow_ += rowStepRows_;
        rowPtr_ = rowAt(imageRow_);
    }
    SetBackwardsScan(backwards_);
    return !endOfScan_;
}

std::uint8_t* TDIBIterator::rowAt(std::int64_t imageRow) const {
    const std::int64_t stored = topDown_ ? imageRow : height_ - 1 - imageRow;
    return bits_ + stored * stride_;
}

void TDIBIterator::SetBackwardsScan(bool backwards) {
    backwards_ = backwards;
    if (endOfScan_) {
        // Nothing may be read or written past the last visited row.
        pixelsLeft_ = 0;
        return;
    }
    pixelsLeft_ = GetWidth();
    // Backwards rows start after the clip's right edge, so that both
    // directions cover exactly the clipped columns.
    col_ = backwards ? clipRight_ + 1 : clipLeft_;
    cur_ = rowPtr_ + std::int64_t(col_) * pixelBytes_;
}

void TDIBIterator::SkipPixels(int n) {
    n = std::clamp(n, 0, pixelsLeft_);
    pixelsLeft_ -= n;
    const int delta = backwards_ ? -n : n;
    col_ += delta;
    cur_ += std::int64_t(delta) * pixelBytes_;
}

void TDIBWriter::FillColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    Reset(0, 1);
    while (!EndOfScan()) {
        while (SetNextPixel(red, green, blue)) {
        }
        NextRow();
    }
}

void TDIBWriter::SetRowFrom(TDIBReader* reader) {
    if (reader->GetWidth() != GetWidth()) {
        throw EScanError(QStringLiteral("Cannot Set a Row from a DIB with a different number of coloums"));
    }
    std::uint8_t red, green, blue;
    while (reader->GetNextPixel(red, green, blue) && SetNextPixel(red, green, blue)) {
    }
}

void TDIBWriter::CopyDIB(TDeviceIndependentBitmap* source, const TNotifyEvent& progress) {
    CopyDIB(static_cast<const TDeviceIndependentBitmap*>(source), progress);
}

void TDIBWriter::CopyDIB(const TDeviceIndependentBitmap* source, const TNotifyEvent& progress) {
    if (source->GetHeight() != GetHeight()) {
        throw EScanError(QStringLiteral("Cannot copy DIBs with different numbers of rows"));
    }
    std::unique_ptr<TDIBReader> reader = source->GetReader();
    while (!reader->EndOfScan()) {
        SetRowFrom(reader.get());
        if (progress) progress(this);
        reader->NextRow();
        NextRow();
    }
}
