#pragma once

#include <cstdint>

/// @file
/// The pixel formats of a device-independent bitmap and its colour-table entry.

/// Pixel formats of a device-independent bitmap, by bits per pixel. Formats
/// up to dt8bit hold colour indices; the others hold colours.
enum class TDIBFormat : std::uint8_t { dtMonochrome, dt4bit, dt8bit, dt16bit, dt24bit, dt32bit };

/// One colour-table entry as stored in a DIB.
struct TRGBQuad {
    ///@{
    /// The entry's colour.
    std::uint8_t rgbBlue;
    std::uint8_t rgbGreen;
    std::uint8_t rgbRed;
    ///@}
    std::uint8_t rgbReserved;  ///< 0
};

/// The format holds colour indices (dtMonochrome, dt4bit, dt8bit).
constexpr bool isMapped(TDIBFormat format) { return format <= TDIBFormat::dt8bit; }

/// 1, 4, 8, 16, 24 or 32.
constexpr int bitsPerPixel(TDIBFormat format) {
    switch (format) {
    case TDIBFormat::dtMonochrome: return 1;
    case TDIBFormat::dt4bit: return 4;
    case TDIBFormat::dt8bit: return 8;
    case TDIBFormat::dt16bit: return 16;
    case TDIBFormat::dt24bit: return 24;
    case TDIBFormat::dt32bit: return 32;
    }
    return 32;
}
