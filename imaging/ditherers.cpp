#include "imaging/ditherers.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "imaging/logical_palette.h"
#include "imaging/pixel_readers.h"
#include "imaging/pixel_writers.h"

namespace {

// A row taken pixel by pixel through the reader's and the writer's virtual
// calls: any formats, any directions.
class IteratorRow {
public:
    IteratorRow(TDIBReader* reader, TDIBMappedWriter* writer) : reader_(reader), writer_(writer) {}

    // Writes indexOf(red, green, blue) for each of the reader's next pixels,
    // at most `limit` of them.
    template <typename IndexOf>
    void map(int limit, IndexOf&& indexOf) {
        std::uint8_t red, green, blue;
        for (int n = 0; n < limit && reader_->GetNextPixel(red, green, blue); ++n) {
            writer_->SetNextIndex(indexOf(red, green, blue));
        }
    }

private:
    TDIBReader* reader_;
    TDIBMappedWriter* writer_;
};

// The same row over the raw bytes of a 24- or 32-bit reader and an 8-bit
// writer that travel the same way, the writer having room for every pixel
// the reader has left: no virtual call and no test of direction or room per
// pixel, and both iterators skip the pixels used afterwards.
template <typename Reader>
class RawRow {
public:
    RawRow(Reader& reader, TDIBMappedWriter& writer) : reader_(reader), writer_(writer) {}

    template <typename IndexOf>
    void map(int limit, IndexOf&& indexOf) {
        const int count = std::min(limit, reader_.pixelsLeft());
        const std::uint8_t* source = reader_.nextPixelBytes();
        std::uint8_t* target = writer_.nextPixelBytes();
        const int sourceStep = reader_.pixelStep(), targetStep = writer_.pixelStep();
        for (int n = 0; n < count; ++n, source += sourceStep, target += targetStep) {
            std::uint8_t red, green, blue;
            reader_.decode(source, red, green, blue);
            *target = indexOf(red, green, blue);
        }
        reader_.SkipPixels(count);
        writer_.SkipPixels(count);
    }

private:
    Reader& reader_;
    TDIBMappedWriter& writer_;
};

bool sameDirectionWithRoom(const TDIBReader* reader, const TDIBMappedWriter* writer) {
    return reader->GetBackwards() == writer->GetBackwards() && reader->pixelsLeft() > 0 &&
           reader->pixelsLeft() <= writer->pixelsLeft() && dynamic_cast<const TDIB8Writer*>(writer);
}

// Hands `convert` the current row as a RawRow when the pair allows one, else
// as an IteratorRow; both give the same indices.
template <typename Convert>
void withRow(TDIBReader* reader, TDIBMappedWriter* writer, Convert&& convert) {
    if (sameDirectionWithRoom(reader, writer)) {
        if (auto* trueColour = dynamic_cast<TDIB24Reader*>(reader)) {
            RawRow row(*trueColour, *writer);
            return convert(row);
        }
        if (auto* masked = dynamic_cast<TDIB32Reader*>(reader)) {
            RawRow row(*masked, *writer);
            return convert(row);
        }
    }
    IteratorRow row(reader, writer);
    convert(row);
}

}  // namespace

void TNoDither::SetRowIndicies(TDIBReader* reader) {
    withRow(reader, writer_, [palette = palette_](auto& row) {
        row.map(std::numeric_limits<int>::max(),
                [palette](std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
                    return palette->GetNearestIndex(red, green, blue);
                });
    });
}

TFSDitherer::TFSDitherer(TDIBMappedWriter* writer, TLogicalPalette* palette)
    : TDitherer(writer, palette),
      errors_(std::size_t(writer->GetWidth() + 2) * 3, 0),
      width_(writer->GetWidth()) {
    InitErrorLimits(limits_);
    for (int sum = -kDampedReach; sum < kDampedReach; ++sum) {
        int error = (sum + 8) / 16;
        error = error < -255 ? -255 : error > 255 ? 255 : error;
        damped_[std::size_t(sum + kDampedReach)] = std::int8_t(limits_[std::size_t(error + 255)]);
    }
}

void TFSDitherer::InitErrorLimits(TFSErrorLimitArray& limits) {
    for (int n = 0; n <= 255; ++n) {
        const int limit = n < 16 ? n : n < 48 ? 16 + (n - 15) / 2 : 32;
        limits[std::size_t(255 + n)] = limit;
        limits[std::size_t(255 - n)] = -limit;
    }
}

template <typename Row>
void TFSDitherer::diffuse(Row& row, bool forward) {
    const int step = forward ? 3 : -3;
    int* previous = errors_.data() + (forward ? 0 : std::size_t(width_ + 1) * 3);
    int carried[3] = {0, 0, 0};
    int lowerPrevious[3] = {0, 0, 0};
    int lower[3] = {0, 0, 0};
    // The buffer was sized for the writer's width when this ditherer was
    // made: a wider row is cut there rather than overrun it.
    row.map(width_, [&](std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
        const std::uint8_t pixel[3] = {red, green, blue};
        int* own = previous + step;
        int value[3];
        for (int c = 0; c < 3; ++c) value[c] = damped_[std::size_t(carried[c] + own[c] + kDampedReach)] + pixel[c];
        int err[3];
        // A sum below 0 counts by its magnitude.
        const int index = palette_->ResolveColours(std::abs(value[0]), std::abs(value[1]),
                                                   std::abs(value[2]), err[0], err[1], err[2]);
        for (int c = 0; c < 3; ++c) {
            previous[c] = lowerPrevious[c] + 3 * err[c];
            lowerPrevious[c] = lower[c] + 5 * err[c];
            lower[c] = err[c];
            carried[c] = 7 * err[c];
            own[c] = lowerPrevious[c];
        }
        previous = own;
        return std::uint8_t(index);
    });
}

void TFSDitherer::SetRowIndicies(TDIBReader* reader) {
    const bool forward = leftToRight_;
    reader->SetBackwardsScan(!forward);
    writer_->SetBackwardsScan(!forward);
    withRow(reader, writer_, [this, forward](auto& row) { diffuse(row, forward); });
    leftToRight_ = !forward;
}
