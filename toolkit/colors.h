#pragma once

#include <QColor>
#include <cstdint>

// A toolkit colour: 0x00BBGGRR for an RGB value; values from 0x80000000 up
// name a system colour by its index in the low byte.
using TColor = std::uint32_t;

constexpr TColor RGB(int r, int g, int b) {
    return TColor(r & 0xFF) | (TColor(g & 0xFF) << 8) | (TColor(b & 0xFF) << 16);
}
constexpr int GetRValue(TColor c) { return int(c & 0xFF); }
constexpr int GetGValue(TColor c) { return int((c >> 8) & 0xFF); }
constexpr int GetBValue(TColor c) { return int((c >> 16) & 0xFF); }

constexpr TColor clBlack = RGB(0, 0, 0);
constexpr TColor clWhite = RGB(255, 255, 255);
constexpr TColor clGreen = RGB(0, 128, 0);
constexpr TColor clBlue = RGB(0, 0, 255);
constexpr TColor clNavy = RGB(0, 0, 128);
constexpr TColor clRed = RGB(255, 0, 0);
constexpr TColor clCream = RGB(255, 251, 240);
constexpr TColor clNone = 0x1FFFFFFF;

constexpr TColor clSystemColor = 0x80000000;
constexpr TColor clScrollBar = clSystemColor | 0;
constexpr TColor clActiveCaption = clSystemColor | 2;
constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clBtnFace = clSystemColor | 15;

// Resolves system colours to the platform's default scheme; RGB values pass through.
TColor ColorToRGB(TColor color);
QColor toQColor(TColor color);
TColor fromQColor(const QColor& color);
