#pragma once

/// @file
/// What the display offers, and whether the program has fonts.

/// What the display offers, as drawing code needs it: the resolution in
/// pixels and in millimetres, the colour depth, and whether colours go
/// through a hardware palette.
struct ScreenCapabilities {
    ///@{
    /// The screen's size in pixels and in millimetres.
    int widthPixels = 0;
    int heightPixels = 0;
    int widthMm = 0;
    int heightMm = 0;
    ///@}
    int colourDepth = 0;  ///< bits per pixel
    /// Colours go through a hardware palette (a depth of 8 bits or fewer).
    bool paletteDevice = false;
    int colourCount() const;  ///< 2^depth, or -1 when the depth has more than 8 bits
};

/// The primary screen's capabilities; a fixed 96-dpi, 1920 x 1080, 32-bit
/// display where the program runs without any screen.
ScreenCapabilities screenCapabilities();

/// Fonts come from the font database of a GUI application; a console
/// program (a QCoreApplication, or none) has none, and text drawn there
/// would abort it. Drawing code leaves text out where this is false.
bool hasFonts();
