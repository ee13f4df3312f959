#pragma once

#include <array>

#include "toolkit/colors.h"

/// @file
/// The default palette.

/// The twenty static colours that a palette display reserves for the system:
/// the sixteen basic colours with four pastel shades in the middle. Lookups
/// and conversions that need "the default palette" use this table.
inline constexpr std::array<TColor, 20> kDefaultPalette = {
    RGB(0, 0, 0),       RGB(128, 0, 0),     RGB(0, 128, 0),     RGB(128, 128, 0),
    RGB(0, 0, 128),     RGB(128, 0, 128),   RGB(0, 128, 128),   RGB(192, 192, 192),
    RGB(192, 220, 192), RGB(166, 202, 240), RGB(255, 251, 240), RGB(160, 160, 164),
    RGB(128, 128, 128), RGB(255, 0, 0),     RGB(0, 255, 0),     RGB(255, 255, 0),
    RGB(0, 0, 255),     RGB(255, 0, 255),   RGB(0, 255, 255),   RGB(255, 255, 255),
};
