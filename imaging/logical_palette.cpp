#include "imaging/logical_palette.h"

#include <algorithm>
#include <cstring>

#include "imaging/device_independent_bitmap.h"
#include "imaging/imaging_errors.h"
#include "toolkit/default_palette.h"

namespace {

constexpr std::array<std::uint8_t, 64> kGrayLevels = {
    0,   6,   13,  19,  25,  32,  38,  44,  51,  57,  63,  69,  75,  81,  87,  93,
    99,  105, 111, 116, 122, 128, 133, 138, 144, 149, 154, 159, 164, 169, 173, 178,
    183, 187, 191, 195, 199, 203, 207, 211, 214, 218, 221, 224, 227, 230, 232, 235,
    237, 240, 242, 244, 245, 247, 249, 250, 251, 252, 253, 254, 254, 255, 255, 255};

QString badIndexText(int index) { return QStringLiteral("Invalid palette index (%1)").arg(index); }

}  // namespace

TLogicalPalette::TLogicalPalette(TDefaultPalettes kind) {
    switch (kind) {
    case TDefaultPalettes::dpEmpty:
        ReAlloc(0);
        break;
    case TDefaultPalettes::dpColour: {
        TColorTable table;
        for (TColor colour : kDefaultPalette) table.append(toQColor(colour).rgb());
        CopyFromHPalette(&table);
        break;
    }
    case TDefaultPalettes::dpGrayscale:
        SetupGrayscalePalette();
        break;
    }
}

TLogicalPalette::TLogicalPalette(const TColorTable* palette) { CopyFromHPalette(palette); }

TLogicalPalette::TLogicalPalette(TDeviceIndependentBitmap* dib)
    : TLogicalPalette(static_cast<const TDeviceIndependentBitmap*>(dib)) {}

TLogicalPalette::TLogicalPalette(const TDeviceIndependentBitmap* dib) {
    if (isMapped(dib->GetDIBType())) {
        CopyDIBColourTable(dib);
    } else {
        ReAlloc(0);
    }
}

TLogicalPalette::TLogicalPalette(std::initializer_list<TColor> colours)
    : TLogicalPalette(std::span<const TColor>(colours.begin(), colours.size())) {}

TLogicalPalette::TLogicalPalette(std::span<const TColor> colours) {
    ReAlloc(int(std::min(colours.size(), std::size_t(kMaxColours))));
    std::uint8_t red, green, blue;
    for (TColor colour : colours) {
        ColorToRGB(colour, red, green, blue);
        addColour(red, green, blue);
    }
}

TLogicalPalette::~TLogicalPalette() = default;

void TLogicalPalette::ReAlloc(int capacity) {
    entries_.assign(std::size_t(std::clamp(capacity, 0, kMaxColours)), TPaletteEntry{});
    version_ = 0x300;
    count_ = 0;
}

void TLogicalPalette::Clear() {
    ReAlloc(0);
    FreeCache();
}

void TLogicalPalette::SetupGrayscalePalette() {
    ReAlloc(int(kGrayLevels.size()));
    for (std::uint8_t level : kGrayLevels) addColour(level, level, level);
    isExact_ = true;
}

void TLogicalPalette::CopyDIBColourTable(TDeviceIndependentBitmap* dib) {
    CopyDIBColourTable(static_cast<const TDeviceIndependentBitmap*>(dib));
}

void TLogicalPalette::CopyDIBColourTable(const TDeviceIndependentBitmap* dib) {
    // Indices are bytes: entries past 256 can never be used.
    const int count = std::min(dib->GetNumColours(), kMaxColours);
    ReAlloc(count);
    const TRGBQuad* table = dib->GetColourTable();
    for (int i = 0; i < count && table; ++i) addColour(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue);
}

void TLogicalPalette::CopyFromHPalette(const TColorTable* palette) {
    const int count = palette ? std::min(int(palette->size()), kMaxColours) : 0;
    ReAlloc(count);
    for (int i = 0; i < count; ++i) {
        const QRgb rgb = palette->at(i);
        addColour(std::uint8_t(qRed(rgb)), std::uint8_t(qGreen(rgb)), std::uint8_t(qBlue(rgb)));
    }
}

void TLogicalPalette::addColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    if (count_ >= GetCapacity()) return;
    entries_[std::size_t(count_++)] = TPaletteEntry{red, green, blue, 0};
}

void TLogicalPalette::Assign(TPersistent* source) {
    if (auto* palette = dynamic_cast<TLogicalPalette*>(source)) {
        if (palette == this) return;
        ReAlloc(palette->count_);
        FreeCache();
        version_ = palette->version_;
        std::copy_n(palette->entries_.begin(), palette->count_, entries_.begin());
        count_ = palette->count_;
    } else if (auto* bitmap = dynamic_cast<TBitmap*>(source)) {
        const TColorTable table = bitmap->Palette();
        CopyFromHPalette(&table);
    } else if (auto* dib = dynamic_cast<TDeviceIndependentBitmap*>(source)) {
        if (isMapped(dib->GetDIBType())) {
            CopyDIBColourTable(dib);
        } else {
            ReAlloc(0);
        }
    } else {
        TPersistent::Assign(source);
    }
}

void TLogicalPalette::AssignTo(TPersistent* dest) {
    if (auto* bitmap = dynamic_cast<TBitmap*>(dest)) {
        bitmap->SetPalette(*AsPalette());
        return;
    }
    TPersistent::AssignTo(dest);
}

std::unique_ptr<TColorTable> TLogicalPalette::AsPalette() const {
    auto table = std::make_unique<TColorTable>();
    table->reserve(count_);
    for (int i = 0; i < count_; ++i) {
        const TPaletteEntry& e = entries_[std::size_t(i)];
        table->append(qRgb(e.peRed, e.peGreen, e.peBlue));
    }
    return table;
}

void TLogicalPalette::throwBadIndex(int index) { throw Exception(badIndexText(index)); }

const TPaletteEntry& TLogicalPalette::entry(int index) const {
    if (index < 0 || index >= count_) throw ELogPalError(badIndexText(index));
    return entries_[std::size_t(index)];
}

TPaletteEntry& TLogicalPalette::entry(int index) {
    return const_cast<TPaletteEntry&>(std::as_const(*this).entry(index));
}

std::uint32_t TLogicalPalette::GetPalEntry(int index) const {
    if (index < 0 || index >= count_) throwBadIndex(index);
    const TPaletteEntry& e = entries_[std::size_t(index)];
    return std::uint32_t(e.peRed) | std::uint32_t(e.peGreen) << 8 | std::uint32_t(e.peBlue) << 16;
}

TColor TLogicalPalette::GetColour(int index) const {
    const TPaletteEntry& e = entry(index);
    return RGBToColor(e.peRed, e.peGreen, e.peBlue);
}

TColor TLogicalPalette::RGBToColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return TColor(blue) << 16 | TColor(green) << 8 | red;
}

void TLogicalPalette::ColorToRGB(TColor colour, std::uint8_t& red, std::uint8_t& green,
                                 std::uint8_t& blue) {
    red = std::uint8_t(colour);
    green = std::uint8_t(colour >> 8);
    blue = std::uint8_t(colour >> 16);
}

int TLogicalPalette::GetColourIndex(TColor colour) const {
    std::uint8_t red, green, blue;
    ColorToRGB(colour, red, green, blue);
    for (int i = 0; i < count_; ++i) {
        const TPaletteEntry& e = entries_[std::size_t(i)];
        if (e.peRed == red && e.peGreen == green && e.peBlue == blue) return i;
    }
    return 0;
}

int TLogicalPalette::GetNearestColourIndex(TColor colour) {
    std::uint8_t red, green, blue;
    ColorToRGB(colour, red, green, blue);
    return GetNearestIndex(red, green, blue);
}

int TLogicalPalette::indexOfColour(TColor colour) {
    std::uint8_t red, green, blue;
    ColorToRGB(colour, red, green, blue);
    for (int i = 0; i < count_; ++i) {
        const TPaletteEntry& e = entries_[std::size_t(i)];
        if (e.peRed == red && e.peGreen == green && e.peBlue == blue) return i;
    }
    return GetNearestIndex(red, green, blue);
}

int TLogicalPalette::GetNearestRGBColourIndex(TRGBQuad quad) {
    return GetNearestIndex(quad.rgbRed, quad.rgbGreen, quad.rgbBlue);
}

bool TLogicalPalette::IsSubPalette(const TLogicalPalette* other) const {
    if (other->count_ > count_) return false;
    if (other->count_ == 0) return true;
    return std::memcmp(entries_.data(), other->entries_.data(),
                       sizeof(TPaletteEntry) * std::size_t(other->count_)) == 0;
}
