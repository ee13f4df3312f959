#pragma once

#include <array>
#include <string>

class TDeviceIndependentBitmap;

// The test pictures: one photograph, cropped and resized to each size as a
// 24-bit BMP file by the run script.
struct PictureSize {
    int width;
    int height;

    std::string name() const { return std::to_string(width) + "x" + std::to_string(height); }
    long long pixels() const { return static_cast<long long>(width) * height; }
};

inline constexpr std::array<PictureSize, 3> kPictureSizes = {{{512, 512}, {1920, 1080}, {4096, 4096}}};

void setPictureDirectory(const std::string& directory);
std::string pictureDirectory();
std::string picturePath(const PictureSize& size);
// A file for results under the pictures' folder (created when missing).
std::string outputPath(const PictureSize& size, const std::string& what);
bool picturesPresent();
// The picture of that size, loaded once.
TDeviceIndependentBitmap& picture(const PictureSize& size);
