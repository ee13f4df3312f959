#pragma once

#include <memory>

#include "imaging/pixel_channels.h"
#include "imaging/pixel_iterators.h"

class TLogicalPalette;

// Readers of the paletted formats: they deliver colour indices, and colours
// through the palette made from the bitmap's colour table.
class TDIBMappedReader : public TDIBReader {
public:
    TDIBMappedReader(TDeviceIndependentBitmap* dib, int rowBytes);
    ~TDIBMappedReader() override;
    // Raises "Invalid palette index (%d)" for an index beyond the table.
    bool GetNextPixel(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) override;
    virtual bool GetNextColourIndex(std::uint8_t& index) = 0;
    // A run of the row's indices; returns how many there were.
    virtual int GetNextIndices(std::uint8_t* indices, int count);
    TLogicalPalette* GetPalette() const { return palette_.get(); }

protected:
    std::unique_ptr<TLogicalPalette> palette_;
};

class TDIB32Reader final : public TDIBReader {
public:
    explicit TDIB32Reader(TDeviceIndependentBitmap* dib);
    bool GetNextPixel(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) override;
    // The colour of the pixel whose bytes start at `bytes`.
    void decode(const std::uint8_t* bytes, std::uint8_t& red, std::uint8_t& green,
                std::uint8_t& blue) const {
        const std::uint32_t word = std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 |
                                   std::uint32_t(bytes[2]) << 16 | std::uint32_t(bytes[3]) << 24;
        red = channelOf(word, redMask_, redShift_);
        green = channelOf(word, greenMask_, greenShift_);
        blue = channelOf(word, blueMask_, blueShift_);
    }
};

class TDIB24Reader final : public TDIBReader {
public:
    explicit TDIB24Reader(TDeviceIndependentBitmap* dib);
    bool GetNextPixel(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) override;
    void decode(const std::uint8_t* bytes, std::uint8_t& red, std::uint8_t& green,
                std::uint8_t& blue) const {
        blue = bytes[0];
        green = bytes[1];
        red = bytes[2];
    }
};

class TDIB16Reader final : public TDIBReader {
public:
    explicit TDIB16Reader(TDeviceIndependentBitmap* dib);
    bool GetNextPixel(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) override;
};

class TDIB8Reader final : public TDIBMappedReader {
public:
    explicit TDIB8Reader(TDeviceIndependentBitmap* dib);
    bool GetNextPixel(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) override;
    bool GetNextColourIndex(std::uint8_t& index) override;
    int GetNextIndices(std::uint8_t* indices, int count) override;
};

class TDIB4Reader final : public TDIBMappedReader {
public:
    explicit TDIB4Reader(TDeviceIndependentBitmap* dib);
    bool GetNextColourIndex(std::uint8_t& index) override;
};

class TDIB1Reader final : public TDIBMappedReader {
public:
    explicit TDIB1Reader(TDeviceIndependentBitmap* dib);
    bool GetNextColourIndex(std::uint8_t& index) override;
};
