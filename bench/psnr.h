#pragma once

#include <cstdint>
#include <vector>

class TDeviceIndependentBitmap;

// Pixels as R, G, B bytes, top row first.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

// The colours of any bitmap, as its reader delivers them.
RgbImage rgbOf(TDeviceIndependentBitmap& dib);
// Peak signal-to-noise ratio over the three channels, in dB; infinity for
// equal images.
double psnrRgb(const RgbImage& reference, const RgbImage& image);
// The same over a sequence of frames: one mean squared error over all.
double psnrRgb(const std::vector<RgbImage>& reference, const std::vector<RgbImage>& frames);
// Each channel averaged over the 3 x 3 pixels round it (edges repeated), as
// the eye sees dithering from a distance.
RgbImage boxBlurred(const RgbImage& image);
