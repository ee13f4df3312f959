#include "imaging/quantizer.h"

#include <new>

#include "imaging/device_independent_bitmap.h"
#include "imaging/imaging_errors.h"
#include "imaging/pixel_iterators.h"
#include "imaging/pixel_readers.h"

namespace {

constexpr int kHistogramCells = 32 * 64 * 32;

// Calls visit(red, green, blue, count) for every nonzero cell of the bound;
// stops early when visit returns false.
template <typename Visit>
void forEachColour(TQuantizedPalette* owner, const TColourBound& b, Visit visit) {
    for (int r = b.redMin; r <= b.redMax; ++r) {
        for (int g = b.greenMin; g <= b.greenMax; ++g) {
            const std::uint16_t* row = owner->GetHistCell(r, g, 0);
            for (int bl = b.blueMin; bl <= b.blueMax; ++bl) {
                if (row[bl] != 0 && !visit(r, g, bl, row[bl])) return;
            }
        }
    }
}

bool holdsColour(TQuantizedPalette* owner, const TColourBound& bound) {
    bool found = false;
    forEachColour(owner, bound, [&](int, int, int, int) { return !(found = true); });
    return found;
}

// Narrows [min, max] on one axis to the planes that hold colours; `plane`
// gives the bound restricted to one plane of that axis.
template <typename Plane>
void shrinkAxis(TQuantizedPalette* owner, int& min, int& max, Plane plane, const char* axis) {
    if (min >= max) return;
    int low = min;
    while (low <= max && !holdsColour(owner, plane(low))) ++low;
    if (low > max) {
        throw EQuantError(QStringLiteral("Unable to find Colour in %1 Plane").arg(QLatin1String(axis)));
    }
    int high = max;
    while (high > low && !holdsColour(owner, plane(high))) --high;
    min = low;
    max = high;
}

}  // namespace

TColourBox::TColourBox(TQuantizedPalette* owner, const TColourBound& bound)
    : bound_(bound), owner_(owner) {
    ShrinkToFit();
}

void TColourBox::ShrinkToFit() {
    TColourBound& b = bound_;
    shrinkAxis(owner_, b.redMin, b.redMax,
               [&](int r) { return TColourBound{r, r, b.greenMin, b.greenMax, b.blueMin, b.blueMax}; }, "Red");
    shrinkAxis(owner_, b.greenMin, b.greenMax,
               [&](int g) { return TColourBound{b.redMin, b.redMax, g, g, b.blueMin, b.blueMax}; }, "Green");
    shrinkAxis(owner_, b.blueMin, b.blueMax,
               [&](int bl) { return TColourBound{b.redMin, b.redMax, b.greenMin, b.greenMax, bl, bl}; }, "Blue");
    redExtent_ = (b.redMax - b.redMin) * 8 * 2;
    greenExtent_ = (b.greenMax - b.greenMin) * 4 * 3;
    blueExtent_ = (b.blueMax - b.blueMin) * 8;
    volume_ = redExtent_ * redExtent_ + greenExtent_ * greenExtent_ + blueExtent_ * blueExtent_;
    colourCount_ = 0;
    forEachColour(owner_, b, [&](int, int, int, int) { return ++colourCount_, true; });
}

std::unique_ptr<TColourBox> TColourBox::Split() {
    int TColourBound::*min = &TColourBound::greenMin;
    int TColourBound::*max = &TColourBound::greenMax;
    int extent = greenExtent_;
    if (greenExtent_ < redExtent_) {
        min = &TColourBound::redMin;
        max = &TColourBound::redMax;
        extent = redExtent_;
    }
    if (blueExtent_ > extent) {
        min = &TColourBound::blueMin;
        max = &TColourBound::blueMax;
    }
    const int mid = bound_.*min + (bound_.*max - bound_.*min) / 2;
    TColourBound lower = bound_;
    lower.*max = mid;
    bound_.*min = mid + 1;
    ShrinkToFit();
    return std::make_unique<TColourBox>(owner_, lower);
}

std::uint32_t TColourBox::GetMedianColour() {
    std::uint8_t red, green, blue;
    if (colourCount_ == 1) {
        red = std::uint8_t(bound_.redMin * 8);
        green = std::uint8_t(bound_.greenMin * 4);
        blue = std::uint8_t(bound_.blueMin * 8);
    } else {
        // Every cell weighs the box's colour count, so the colour is the
        // mean of the cells' upper corners, rounded half up.
        const std::int64_t weight = colourCount_;
        std::int64_t sumRed = 0, sumGreen = 0, sumBlue = 0, total = 0;
        forEachColour(owner_, bound_, [&](int r, int g, int b, int) {
            sumRed += weight * (r * 8 + 7);
            sumGreen += weight * (g * 4 + 3);
            sumBlue += weight * (b * 8 + 7);
            total += weight;
            return true;
        });
        red = std::uint8_t((sumRed + total / 2) / total);
        green = std::uint8_t((sumGreen + total / 2) / total);
        blue = std::uint8_t((sumBlue + total / 2) / total);
    }
    colour_ = TRGBQuad{blue, green, red, 0};
    return std::uint32_t(blue) | std::uint32_t(green) << 8 | std::uint32_t(red) << 16;
}

void TColourBox::SetColourIndex(std::uint16_t index) {
    if (colourCount_ == 1) *owner_->GetCacheCell(bound_.redMin, bound_.greenMin, bound_.blueMin) = index + 1;
}

TQuantizedPalette::TQuantizedPalette(TDeviceIndependentBitmap* source, int maximumColours)
    : TQuantizedPalette(static_cast<const TDeviceIndependentBitmap*>(source), maximumColours) {}

TQuantizedPalette::TQuantizedPalette(const TDeviceIndependentBitmap* source, int maximumColours)
    : maximumColours_(maximumColours) {
    if (maximumColours > kMaxColours) throw EQuantError(QStringLiteral("Too Many Colours Required"));
    if (maximumColours < 1) throw EQuantError(QStringLiteral("Too Few Colours Required"));
    ReAlloc(maximumColours);
    boxes_.reserve(std::size_t(maximumColours));
    BuildPalette(source);
}

TQuantizedPalette::~TQuantizedPalette() = default;

void TQuantizedPalette::Assign(TPersistent* source) {
    auto* dib = dynamic_cast<TDeviceIndependentBitmap*>(source);
    if (dib && !isMapped(dib->GetDIBType())) {
        // The old answers of the cache belong to the old entries.
        FreeCache();
        ReAlloc(kMaxColours);
        BuildPalette(dib);
        return;
    }
    TLogicalPalette::Assign(source);
}

void TQuantizedPalette::BuildPalette(const TDeviceIndependentBitmap* bitmap) {
    AllocHistogram();
    struct Cleanup {
        TQuantizedPalette* self;
        ~Cleanup() {
            self->FreeColourBoxes();
            self->FreeHistogram();
        }
    } cleanup{this};
    if (GetCount() > 0) throw Exception(QStringLiteral("Cannot rebuild a Histogram"));
    BuildHistogram(bitmap);
    boxes_.push_back(std::make_unique<TColourBox>(this, TColourBound{0, 31, 0, 63, 0, 31}));
    const int m = maximumColours_;
    try {
        for (int i = 0; i < m / 2; ++i) boxes_.push_back(GetBiggestBoxByPopulation()->Split());
        for (int i = 0; i < m - (m / 2 + 1); ++i) boxes_.push_back(GetBiggestBoxByVolume()->Split());
    } catch (const ESplitProblem&) {
        // Every box is a single cell: the image has fewer colours than asked.
    }
    for (const auto& box : boxes_) {
        const std::uint32_t colour = box->GetMedianColour();
        addColour(std::uint8_t(colour >> 16), std::uint8_t(colour >> 8), std::uint8_t(colour));
    }
    SetIsExact(true);
    InitCache();
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        boxes_[i]->SetColourIndex(std::uint16_t(i));
        if (boxes_[i]->GetColourCount() > 1) SetIsExact(false);
    }
}

void TQuantizedPalette::BuildHistogram(const TDeviceIndependentBitmap* bitmap) {
    if (bitmap->GetWidth() <= 0 || bitmap->GetHeight() <= 0) return;
    std::unique_ptr<TDIBReader> reader = bitmap->GetReader();
    std::uint16_t* histogram = histogram_.get();
    const auto count = [histogram](std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
        std::uint16_t& cell = histogram[std::size_t((red >> 3) << 11 | (green >> 2) << 5 | blue >> 3)];
        if (cell != 0xFFFF) ++cell;
    };
    // True-colour rows are read straight from their bytes, without a
    // virtual call per pixel.
    if (auto* trueColour = dynamic_cast<TDIB24Reader*>(reader.get())) {
        do {
            const std::uint8_t* bytes = trueColour->nextPixelBytes();
            const int step = trueColour->pixelStep(), n = trueColour->pixelsLeft();
            for (int i = 0; i < n; ++i, bytes += step) count(bytes[2], bytes[1], bytes[0]);
            trueColour->SkipPixels(n);
        } while (trueColour->NextRow());
        return;
    }
    std::uint8_t red, green, blue;
    do {
        while (reader->GetNextPixel(red, green, blue)) count(red, green, blue);
    } while (reader->NextRow());
}

void TQuantizedPalette::AllocHistogram() {
    try {
        histogram_.reset(new std::uint16_t[kHistogramCells]());
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory();
    }
}

void TQuantizedPalette::FreeHistogram() { histogram_.reset(); }

void TQuantizedPalette::FreeColourBoxes() { boxes_.clear(); }

TColourBox* TQuantizedPalette::GetBiggestBoxByPopulation() const {
    TColourBox* biggest = nullptr;
    for (const auto& box : boxes_) {
        if (box->GetVolume() > 0 && (!biggest || box->GetColourCount() > biggest->GetColourCount())) {
            biggest = box.get();
        }
    }
    if (!biggest) throw ESplitProblem();
    return biggest;
}

TColourBox* TQuantizedPalette::GetBiggestBoxByVolume() const {
    TColourBox* biggest = nullptr;
    for (const auto& box : boxes_) {
        if (box->GetVolume() > 0 && (!biggest || box->GetVolume() > biggest->GetVolume())) {
            biggest = box.get();
        }
    }
    if (!biggest) throw ESplitProblem();
    return biggest;
}
