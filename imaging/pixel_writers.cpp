#include "imaging/pixel_writers.h"

#include <algorithm>
#include <cstring>

#include "imaging/device_independent_bitmap.h"
#include "imaging/ditherers.h"
#include "imaging/imaging_errors.h"
#include "imaging/logical_palette.h"
#include "imaging/pixel_channels.h"
#include "imaging/pixel_readers.h"

TDIBMappedWriter::TDIBMappedWriter(TDeviceIndependentBitmap* dib, int rowBytes)
    : TDIBWriter(dib, rowBytes),
      palette_(std::make_unique<TLogicalPalette>(dib)),
      dithererClass_(ditherClassOf<TNoDither>()) {
    ditherer_ = dithererClass_(this, palette_.get());
}

TDIBMappedWriter::~TDIBMappedWriter() = default;

void TDIBMappedWriter::FillColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    FillIndex(palette_->GetNearestIndex(red, green, blue));
}

void TDIBMappedWriter::FillIndex(std::uint8_t index) {
    Reset(0, 1);
    while (!EndOfScan()) {
        while (SetNextIndex(index)) {
        }
        NextRow();
    }
}

bool TDIBMappedWriter::SetNextPixel(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    if (pixelsLeft_ <= 0) return false;
    return SetNextIndex(palette_->GetNearestIndex(red, green, blue));
}

void TDIBMappedWriter::SetRowFrom(TDIBReader* reader) {
    if (reader->GetWidth() != GetWidth()) {
        throw EScanError(QStringLiteral("Cannot Set a Row from a DIB with a different number of coloums"));
    }
    palette_->InitCache();
    ditherer_->SetRowIndicies(reader);
}

void TDIBMappedWriter::SetDitherer(TDithererClass ditherer) {
    ditherer_.reset();
    ditherer_ = ditherer(this, palette_.get());
    dithererClass_ = ditherer;
}

void TDIBMappedWriter::SetPalette(TLogicalPalette* palette) {
    palette_->Assign(palette);
    // The given palette's cache may hold answers a search would not give
    // (a quantizer maps each of its single colours to its own entry).
    palette_->copyCacheFrom(*palette);
    SetDitherer(GetDitherer());
}

int TDIBMappedWriter::SetNextIndices(const std::uint8_t* indices, int count) {
    const int n = std::min(count, pixelsLeft_);
    for (int i = 0; i < n; ++i) SetNextIndex(indices[i]);
    return std::max(n, 0);
}

TDIB32Writer::TDIB32Writer(TDeviceIndependentBitmap* dib) : TDIBWriter(dib, dib->GetWidth() * 4) {
    SetMasks(dib->GetRedMask(), dib->GetGreenMask(), dib->GetBlueMask());
}

bool TDIB32Writer::SetNextPixel(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    if (pixelsLeft_ <= 0) return false;
    --pixelsLeft_;
    const std::uint32_t word = channelBits(red, redMask_, redShift_) |
                               channelBits(green, greenMask_, greenShift_) |
                               channelBits(blue, blueMask_, blueShift_);
    if (backwards_) cur_ -= 4;
    cur_[0] = std::uint8_t(word);
    cur_[1] = std::uint8_t(word >> 8);
    cur_[2] = std::uint8_t(word >> 16);
    cur_[3] = std::uint8_t(word >> 24);
    if (!backwards_) cur_ += 4;
    return true;
}

TDIB24Writer::TDIB24Writer(TDeviceIndependentBitmap* dib) : TDIBWriter(dib, dib->GetWidth() * 3) {}

bool TDIB24Writer::SetNextPixel(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    if (pixelsLeft_ <= 0) return false;
    --pixelsLeft_;
    if (backwards_) cur_ -= 3;
    cur_[0] = blue;
    cur_[1] = green;
    cur_[2] = red;
    if (!backwards_) cur_ += 3;
    return true;
}

TDIB16Writer::TDIB16Writer(TDeviceIndependentBitmap* dib) : TDIBWriter(dib, dib->GetWidth() * 2) {
    SetMasks(dib->GetRedMask(), dib->GetGreenMask(), dib->GetBlueMask());
}

bool TDIB16Writer::SetNextPixel(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    if (pixelsLeft_ <= 0) return false;
    --pixelsLeft_;
    const std::uint32_t word = channelBits(red, redMask_, redShift_) |
                               channelBits(green, greenMask_, greenShift_) |
                               channelBits(blue, blueMask_, blueShift_);
    if (backwards_) cur_ -= 2;
    cur_[0] = std::uint8_t(word);
    cur_[1] = std::uint8_t(word >> 8);
    if (!backwards_) cur_ += 2;
    return true;
}

TDIB8Writer::TDIB8Writer(TDeviceIndependentBitmap* dib) : TDIBMappedWriter(dib, dib->GetWidth()) {}

bool TDIB8Writer::SetNextIndex(std::uint8_t index) {
    if (pixelsLeft_ <= 0) return false;
    --pixelsLeft_;
    if (backwards_) {
        *--cur_ = index;
    } else {
        *cur_++ = index;
    }
    return true;
}

int TDIB8Writer::SetNextIndices(const std::uint8_t* indices, int count) {
    const int n = std::min(count, pixelsLeft_);
    if (n <= 0) return 0;
    if (backwards_) {
        for (int i = 0; i < n; ++i) *--cur_ = indices[i];
    } else {
        std::memcpy(cur_, indices, std::size_t(n));
        cur_ += n;
    }
    pixelsLeft_ -= n;
    return n;
}

TDIB4Writer::TDIB4Writer(TDeviceIndependentBitmap* dib)
    : TDIBMappedWriter(dib, (dib->GetWidth() + 1) / 2) {}

bool TDIB4Writer::SetNextIndex(std::uint8_t index) {
    if (pixelsLeft_ <= 0) return false;
    --pixelsLeft_;
    const int column = backwards_ ? --col_ : col_++;
    std::uint8_t& byte = rowPtr_[column >> 1];
    byte = (column & 1) ? std::uint8_t((byte & 0xF0) | (index & 0x0F))
                        : std::uint8_t((byte & 0x0F) | (index << 4));
    return true;
}

// Forward runs are packed two pixels to a byte; an odd first column shares
// its byte with the pixel before it.
int TDIB4Writer::SetNextIndices(const std::uint8_t* indices, int count) {
    const int n = std::min(count, pixelsLeft_);
    if (n <= 0) return 0;
    if (backwards_) return TDIBMappedWriter::SetNextIndices(indices, n);
    int i = 0;
    if (col_ & 1) {
        std::uint8_t& byte = rowPtr_[col_ >> 1];
        byte = std::uint8_t((byte & 0xF0) | (indices[0] & 0x0F));
        i = 1;
    }
    std::uint8_t* out = rowPtr_ + ((col_ + i) >> 1);
    for (; i + 1 < n; i += 2) *out++ = std::uint8_t(indices[i] << 4 | (indices[i + 1] & 0x0F));
    if (i < n) *out = std::uint8_t((*out & 0x0F) | indices[i] << 4);
    col_ += n;
    pixelsLeft_ -= n;
    return n;
}

TDIB1Writer::TDIB1Writer(TDeviceIndependentBitmap* dib)
    : TDIBMappedWriter(dib, (dib->GetWidth() + 7) / 8) {}

// Forward runs fill whole bytes where they can.
int TDIB1Writer::SetNextIndices(const std::uint8_t* indices, int count) {
    const int n = std::min(count, pixelsLeft_);
    if (n <= 0) return 0;
    if (backwards_) return TDIBMappedWriter::SetNextIndices(indices, n);
    int i = 0;
    while (i < n && (col_ & 7) != 0) SetNextIndex(indices[i++]);
    std::uint8_t* out = rowPtr_ + (col_ >> 3);
    for (; i + 8 <= n; i += 8) {
        std::uint8_t byte = 0;
        for (int bit = 0; bit < 8; ++bit) byte = std::uint8_t(byte << 1 | (indices[i + bit] != 0));
        *out++ = byte;
        col_ += 8;
        pixelsLeft_ -= 8;
    }
    for (; i < n; ++i) SetNextIndex(indices[i]);
    return n;
}

bool TDIB1Writer::SetNextIndex(std::uint8_t index) {
    if (pixelsLeft_ <= 0) return false;
    --pixelsLeft_;
    const int column = backwards_ ? --col_ : col_++;
    const auto mask = std::uint8_t(0x80 >> (column & 7));
    std::uint8_t& byte = rowPtr_[column >> 3];
    byte = index != 0 ? std::uint8_t(byte | mask) : std::uint8_t(byte & ~mask);
    return true;
}
