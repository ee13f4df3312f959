#pragma once

#include <memory>

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
    TLogicalPalette* GetPalette() const { return palette_.get(); }

protected:
    std::unique_ptr<TLogicalPalette> palette_;
};

class TDIB32Reader final : public TDIBReader {
public:
    explicit TDIB32Reader(TDeviceIndependentBitmap* dib);
    bool GetNextPixel(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) override;
};

class TDIB24Reader final : public TDIBReader {
public:
    explicit TDIB24Reader(TDeviceIndependentBitmap* dib);
    bool GetNextPixel(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) override;
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
