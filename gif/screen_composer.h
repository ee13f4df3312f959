#pragma once

#include <QRect>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "gif/gif_types.h"

class TDeviceIndependentBitmap;

/// @file
/// The logical screen as readers show it, composed graphic by graphic.

/// Draws the part @p area (screen coordinates, inside the picture placed at
/// @p origin) of a paletted picture onto the screen rows that @p line gives
/// (pixel 0 of screen row y, 0xAARRGGBB words). Pixels of
/// @p transparentIndex (-1: none) are left as they are; indices beyond the
/// colour table show black.
void drawMappedPicture(const TDeviceIndependentBitmap& picture, QPoint origin, const QRect& area,
                       int transparentIndex, const std::function<std::uint32_t*(int y)>& line);

/// A logical screen composed graphic by graphic by the GIF89a rules, as
/// readers show it: the screen starts transparent, transparent pixels leave
/// it as it is, and each graphic's disposal is carried out before the next
/// one is drawn (the background is transparent).
///
/// Pixels are 0xAARRGGBB words, rows top-down: 0xFF000000 | RGB where a
/// colour shows, 0 where nothing does. What lies off the screen is left out.
class TGIFScreenComposer {
public:
    /// A transparent screen; sizes below 1 are taken as 1.
    TGIFScreenComposer(int width, int height);

    /// Carries out the disposal of the graphic drawn last, then draws
    /// `picture` at `info.Origin`. Paletted pictures show their colour
    /// table, with `transparentIndex` (-1: none) transparent and indices
    /// beyond the table black; true-colour ones are transparent where they
    /// have their transparent colour, if they have one. Returns the part of
    /// the screen that may have changed.
    QRect add(const TDeviceIndependentBitmap& picture, const TGIFGraphicControlInfo& info, int transparentIndex);

    /// The screen's width.
    int width() const { return width_; }
    /// The screen's height.
    int height() const { return height_; }
    /// The whole screen, at 0, 0.
    QRect rect() const { return QRect(0, 0, width_, height_); }
    /// Row @p y (0 at the top) of the screen's pixels.
    const std::uint32_t* row(int y) const { return screen_.data() + std::size_t(y) * std::size_t(width_); }
    /// Every pixel, rows top-down.
    const std::vector<std::uint32_t>& pixels() const { return screen_; }

private:
    // The packed indices the last paletted picture drew, with the colours
    // they showed; bits 0 when there are none to compare with.
    struct DrawnIndices {
        int bits = 0;
        std::array<std::uint32_t, 256> colours{};
        std::vector<std::uint8_t> rows;
    };

    QRect dispose();
    QRect drawMapped(const TDeviceIndependentBitmap& picture, QPoint origin, int transparentIndex, bool overLast);
    void drawTrueColour(const TDeviceIndependentBitmap& picture, QPoint origin);
    std::uint32_t* line(int y) { return screen_.data() + std::size_t(y) * std::size_t(width_); }

    int width_;
    int height_;
    std::vector<std::uint32_t> screen_;
    std::vector<std::uint32_t> underLast_;  // what the last graphic covered, when it is to come back
    QRect lastRect_;
    TDisposalMethods lastDisposal_ = TDisposalMethods::dmNone;
    DrawnIndices drawn_;
};
