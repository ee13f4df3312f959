#include "imaging/pixel_readers.h"

#include <algorithm>
#include <cstring>

#include "imaging/device_independent_bitmap.h"
#include "imaging/logical_palette.h"
#include "imaging/pixel_channels.h"

TDIBMappedReader::TDIBMappedReader(TDeviceIndependentBitmap* dib, int rowBytes)
    : TDIBReader(dib, rowBytes), palette_(std::make_unique<TLogicalPalette>(dib)) {}

TDIBMappedReader::~TDIBMappedReader() = default;

bool TDIBMappedReader::GetNextPixel(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) {
    std::uint8_t index;
    if (!GetNextColourIndex(index)) return false;
    palette_->GetRGBColours(index, red, green, blue);
    return true;
}

int TDIBMappedReader::GetNextIndices(std::uint8_t* indices, int count) {
    int n = 0;
    while (n < count && GetNextColourIndex(indices[n])) ++n;
    return n;
}

TDIB32Reader::TDIB32Reader(TDeviceIndependentBitmap* dib) : TDIBReader(dib, dib->GetWidth() * 4) {
    SetMasks(dib->GetRedMask(), dib->GetGreenMask(), dib->GetBlueMask());
}

bool TDIB32Reader::GetNextPixel(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) {
    if (pixelsLeft_ <= 0) return false;
    --pixelsLeft_;
    if (backwards_) cur_ -= 4;
    decode(cur_, red, green, blue);
    if (!backwards_) cur_ += 4;
    return true;
}

TDIB24Reader::TDIB24Reader(TDeviceIndependentBitmap* dib) : TDIBReader(dib, dib->GetWidth() * 3) {}

bool TDIB24Reader::GetNextPixel(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) {
    if (pixelsLeft_ <= 0) return false;
    --pixelsLeft_;
    if (backwards_) cur_ -= 3;
    decode(cur_, red, green, blue);
    if (!backwards_) cur_ += 3;
    return true;
}

TDIB16Reader::TDIB16Reader(TDeviceIndependentBitmap* dib) : TDIBReader(dib, dib->GetWidth() * 2) {
    SetMasks(dib->GetRedMask(), dib->GetGreenMask(), dib->GetBlueMask());
}

bool TDIB16Reader::GetNextPixel(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) {
    if (pixelsLeft_ <= 0) return false;
    --pixelsLeft_;
    if (backwards_) cur_ -= 2;
    const std::uint32_t word = std::uint32_t(cur_[0]) | std::uint32_t(cur_[1]) << 8;
    if (!backwards_) cur_ += 2;
    red = channelOf(word, redMask_, redShift_);
    green = channelOf(word, greenMask_, greenShift_);
    blue = channelOf(word, blueMask_, blueShift_);
    return true;
}

TDIB8Reader::TDIB8Reader(TDeviceIndependentBitmap* dib) : TDIBMappedReader(dib, dib->GetWidth()) {}

// The common paletted format gets its own path without the second virtual call.
bool TDIB8Reader::GetNextPixel(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) {
    if (pixelsLeft_ <= 0) return false;
    --pixelsLeft_;
    const std::uint8_t index = backwards_ ? *--cur_ : *cur_++;
    palette_->GetRGBColours(index, red, green, blue);
    return true;
}

bool TDIB8Reader::GetNextColourIndex(std::uint8_t& index) {
    if (pixelsLeft_ <= 0) return false;
    --pixelsLeft_;
    index = backwards_ ? *--cur_ : *cur_++;
    return true;
}

int TDIB8Reader::GetNextIndices(std::uint8_t* indices, int count) {
    const int n = std::min(count, pixelsLeft_);
    if (n <= 0) return 0;
    if (backwards_) {
        for (int i = 0; i < n; ++i) indices[i] = *--cur_;
    } else {
        std::memcpy(indices, cur_, std::size_t(n));
        cur_ += n;
    }
    pixelsLeft_ -= n;
    return n;
}

TDIB4Reader::TDIB4Reader(TDeviceIndependentBitmap* dib)
    : TDIBMappedReader(dib, (dib->GetWidth() + 1) / 2) {}

bool TDIB4Reader::GetNextColourIndex(std::uint8_t& index) {
    if (pixelsLeft_ <= 0) return false;
    --pixelsLeft_;
    const int column = backwards_ ? --col_ : col_++;
    const std::uint8_t byte = rowPtr_[column >> 1];
    index = (column & 1) ? byte & 0x0F : byte >> 4;
    return true;
}

TDIB1Reader::TDIB1Reader(TDeviceIndependentBitmap* dib)
    : TDIBMappedReader(dib, (dib->GetWidth() + 7) / 8) {}

bool TDIB1Reader::GetNextColourIndex(std::uint8_t& index) {
    if (pixelsLeft_ <= 0) return false;
    --pixelsLeft_;
    const int column = backwards_ ? --col_ : col_++;
    index = (rowPtr_[column >> 3] >> (7 - (column & 7))) & 1;
    return true;
}
