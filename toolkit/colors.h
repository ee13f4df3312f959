#pragma once

#include <QColor>
#include <cstdint>

/// @file
/// Toolkit colours: RGB values and system colours, and their conversions to
/// and from Qt's.

/// A toolkit colour: 0x00BBGGRR for an RGB value; values from 0x80000000 up
/// name a system colour by its index in the low byte.
using TColor = std::uint32_t;

/// The RGB colour of @p r, @p g and @p b; only the low byte of each counts.
constexpr TColor RGB(int r, int g, int b) {
    return TColor(r & 0xFF) | (TColor(g & 0xFF) << 8) | (TColor(b & 0xFF) << 16);
}
///@{
/// The red, green or blue byte of an RGB colour.
constexpr int GetRValue(TColor c) { return int(c & 0xFF); }
constexpr int GetGValue(TColor c) { return int((c >> 8) & 0xFF); }
constexpr int GetBValue(TColor c) { return int((c >> 16) & 0xFF); }
///@}

///@{
/// A named RGB colour.
constexpr TColor clBlack = RGB(0, 0, 0);
constexpr TColor clWhite = RGB(255, 255, 255);
constexpr TColor clGreen = RGB(0, 128, 0);
constexpr TColor clBlue = RGB(0, 0, 255);
constexpr TColor clNavy = RGB(0, 0, 128);
constexpr TColor clRed = RGB(255, 0, 0);
constexpr TColor clCream = RGB(255, 251, 240);
///@}
/// No colour at all: what a property holds when it is not set.
constexpr TColor clNone = 0x1FFFFFFF;

/// The flag of a system colour; its low byte is the colour's index.
constexpr TColor clSystemColor = 0x80000000;
///@{
/// A system colour, resolved by ColorToRGB.
constexpr TColor clScrollBar = clSystemColor | 0;
constexpr TColor clActiveCaption = clSystemColor | 2;
constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clBtnFace = clSystemColor | 15;
///@}

/// Resolves system colours to the platform's default scheme; RGB values pass
/// through (their top byte cleared). A system colour index past the scheme's
/// 31 entries gives black.
TColor ColorToRGB(TColor color);
/// The Qt colour of @p color, system colours resolved by ColorToRGB.
QColor toQColor(TColor color);
/// The RGB colour of a Qt colour; its alpha is dropped.
TColor fromQColor(const QColor& color);
