#include "imaging/ditherers.h"

#include <algorithm>
#include <cstdlib>

#include "imaging/logical_palette.h"
#include "imaging/pixel_iterators.h"
#include "imaging/pixel_writers.h"

void TNoDither::SetRowIndicies(TDIBReader* reader) {
    std::uint8_t red, green, blue;
    while (reader->GetNextPixel(red, green, blue)) {
        writer_->SetNextIndex(palette_->GetNearestIndex(red, green, blue));
    }
}

TFSDitherer::TFSDitherer(TDIBMappedWriter* writer, TLogicalPalette* palette)
    : TDitherer(writer, palette),
      errors_(std::size_t(writer->GetWidth() + 2) * 3, 0),
      width_(writer->GetWidth()) {
    InitErrorLimits(limits_);
}

void TFSDitherer::InitErrorLimits(TFSErrorLimitArray& limits) {
    for (int n = 0; n <= 255; ++n) {
        const int limit = n < 16 ? n : n < 48 ? 16 + (n - 15) / 2 : 32;
        limits[std::size_t(255 + n)] = limit;
        limits[std::size_t(255 - n)] = -limit;
    }
}

void TFSDitherer::SetRowIndicies(TDIBReader* reader) {
    const bool forward = leftToRight_;
    reader->SetBackwardsScan(!forward);
    writer_->SetBackwardsScan(!forward);
    const int step = forward ? 3 : -3;
    int* previous = errors_.data() + (forward ? 0 : std::size_t(width_ + 1) * 3);
    int carried[3] = {0, 0, 0};
    int lowerPrevious[3] = {0, 0, 0};
    int lower[3] = {0, 0, 0};
    std::uint8_t pixel[3];
    // The buffer was sized for the writer's width when this ditherer was
    // made: a wider row is cut there rather than overrun it.
    for (int x = 0; x < width_ && reader->GetNextPixel(pixel[0], pixel[1], pixel[2]); ++x) {
        int* own = previous + step;
        int value[3];
        for (int c = 0; c < 3; ++c) {
            int error = (carried[c] + own[c] + 8) / 16;
            error = error < -255 ? -255 : error > 255 ? 255 : error;
            value[c] = limits_[std::size_t(error + 255)] + pixel[c];
        }
        int err[3];
        // A sum below 0 counts by its magnitude.
        const int index = palette_->ResolveColours(std::abs(value[0]), std::abs(value[1]), std::abs(value[2]),
                                                   err[0], err[1], err[2]);
        writer_->SetNextIndex(std::uint8_t(index));
        for (int c = 0; c < 3; ++c) {
            previous[c] = lowerPrevious[c] + 3 * err[c];
            lowerPrevious[c] = lower[c] + 5 * err[c];
            lower[c] = err[c];
            carried[c] = 7 * err[c];
            own[c] = lowerPrevious[c];
        }
        previous = own;
    }
    leftToRight_ = !forward;
}
