#pragma once

#include <memory>

#include "imaging/pixel_channels.h"
#include "imaging/pixel_iterators.h"

class TLogicalPalette;

/// @file
/// The pixel readers, one for each bitmap format. Each borrows its bitmap
/// and must not outlive it or a reallocation of its block.

/// Readers of the paletted formats: they deliver colour indices, and colours
/// through the palette made from the bitmap's colour table.
class TDIBMappedReader : public TDIBReader {
public:
    /// A reader over @p dib with a palette copied from its colour table.
    TDIBMappedReader(TDeviceIndependentBitmap* dib, int rowBytes);
    ~TDIBMappedReader() override;
    /// Raises Exception "Invalid palette index (%1)" for an index beyond the
    /// table, %1 the index.
    bool GetNextPixel(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) override;
    /// The next index of the row; false, @p index untouched, at the row's end.
    virtual bool GetNextColourIndex(std::uint8_t& index) = 0;
    /// A run of the row's indices; returns how many there were.
    virtual int GetNextIndices(std::uint8_t* indices, int count);
    /// The reader's palette, owned by the reader.
    TLogicalPalette* GetPalette() const { return palette_.get(); }

protected:
    std::unique_ptr<TLogicalPalette> palette_;  ///< the colour table's entries
};

/// Reads 32-bit pixels through their bit-field masks.
class TDIB32Reader final : public TDIBReader {
public:
    /// A reader over @p dib, a 32-bit bitmap.
    explicit TDIB32Reader(TDeviceIndependentBitmap* dib);
    /// The next pixel's channels, each scaled to 8 bits by its mask.
    bool GetNextPixel(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) override;
    /// The colour of the pixel whose bytes start at `bytes`.
    void decode(const std::uint8_t* bytes, std::uint8_t& red, std::uint8_t& green,
                std::uint8_t& blue) const {
        const std::uint32_t word = std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 |
                                   std::uint32_t(bytes[2]) << 16 | std::uint32_t(bytes[3]) << 24;
        red = channelOf(word, redMask_, redShift_);
        green = channelOf(word, greenMask_, greenShift_);
        blue = channelOf(word, blueMask_, blueShift_);
    }
};

/// Reads 24-bit pixels (blue, green, red bytes).
class TDIB24Reader final : public TDIBReader {
public:
    /// A reader over @p dib, a 24-bit bitmap.
    explicit TDIB24Reader(TDeviceIndependentBitmap* dib);
    /// The next pixel's colour.
    bool GetNextPixel(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) override;
    /// The colour of the pixel whose bytes start at `bytes`.
    void decode(const std::uint8_t* bytes, std::uint8_t& red, std::uint8_t& green,
                std::uint8_t& blue) const {
        blue = bytes[0];
        green = bytes[1];
        red = bytes[2];
    }
};

/// Reads 16-bit pixels through their bit-field masks (5-5-5 for plain RGB).
class TDIB16Reader final : public TDIBReader {
public:
    /// A reader over @p dib, a 16-bit bitmap.
    explicit TDIB16Reader(TDeviceIndependentBitmap* dib);
    /// The next pixel's channels, each scaled to 8 bits by its mask.
    bool GetNextPixel(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) override;
};

/// Reads the indices of 8-bit pixels, and their colours.
class TDIB8Reader final : public TDIBMappedReader {
public:
    /// A reader over @p dib, a bitmap of this format.
    explicit TDIB8Reader(TDeviceIndependentBitmap* dib);
    /// As TDIBMappedReader::GetNextPixel, without its second virtual call.
    bool GetNextPixel(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) override;
    /// The next index of the row; false at the row's end.
    bool GetNextColourIndex(std::uint8_t& index) override;
    /// As TDIBMappedReader::GetNextIndices, a run copied at once.
    int GetNextIndices(std::uint8_t* indices, int count) override;
};

/// Reads the indices of 4-bit pixels, and their colours.
class TDIB4Reader final : public TDIBMappedReader {
public:
    /// A reader over @p dib, a bitmap of this format.
    explicit TDIB4Reader(TDeviceIndependentBitmap* dib);
    /// The next index of the row; false at the row's end.
    bool GetNextColourIndex(std::uint8_t& index) override;
};

/// Reads the indices of 1-bit pixels, and their colours.
class TDIB1Reader final : public TDIBMappedReader {
public:
    /// A reader over @p dib, a bitmap of this format.
    explicit TDIB1Reader(TDeviceIndependentBitmap* dib);
    /// The next index of the row; false at the row's end.
    bool GetNextColourIndex(std::uint8_t& index) override;
};
