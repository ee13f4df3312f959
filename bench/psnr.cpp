#include "bench/psnr.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "imaging/Zvqgraph.h"

RgbImage rgbOf(TDeviceIndependentBitmap& dib) {
    RgbImage image{dib.GetWidth(), dib.GetHeight(), {}};
    image.rgb.reserve(std::size_t(image.width) * std::size_t(image.height) * 3);
    std::unique_ptr<TDIBReader> reader = dib.GetReader();
    std::uint8_t red, green, blue;
    while (!reader->EndOfScan()) {
        while (reader->GetNextPixel(red, green, blue)) {
            image.rgb.insert(image.rgb.end(), {red, green, blue});
        }
        reader->NextRow();
    }
    return image;
}

namespace {

double squaredError(const RgbImage& reference, const RgbImage& image) {
    if (reference.width != image.width || reference.height != image.height ||
        reference.rgb.size() != image.rgb.size() || reference.rgb.empty()) {
        throw std::invalid_argument("PSNR of images of different sizes");
    }
    double sum = 0;
    for (std::size_t i = 0; i < reference.rgb.size(); ++i) {
        const double d = double(reference.rgb[i]) - double(image.rgb[i]);
        sum += d * d;
    }
    return sum;
}

double psnrOf(double sum, double samples) {
    if (sum == 0) return std::numeric_limits<double>::infinity();
    return 10.0 * std::log10(255.0 * 255.0 * samples / sum);
}

}  // namespace

double psnrRgb(const RgbImage& reference, const RgbImage& image) {
    return psnrOf(squaredError(reference, image), double(reference.rgb.size()));
}

double psnrRgb(const std::vector<RgbImage>& reference, const std::vector<RgbImage>& frames) {
    if (reference.size() != frames.size() || reference.empty()) {
        throw std::invalid_argument("PSNR of sequences of different lengths");
    }
    double sum = 0, samples = 0;
    for (std::size_t i = 0; i < reference.size(); ++i) {
        sum += squaredError(reference[i], frames[i]);
        samples += double(reference[i].rgb.size());
    }
    return psnrOf(sum, samples);
}

RgbImage boxBlurred(const RgbImage& image) {
    RgbImage out{image.width, image.height, std::vector<std::uint8_t>(image.rgb.size())};
    const auto at = [&](int x, int y, int c) {
        x = std::clamp(x, 0, image.width - 1);
        y = std::clamp(y, 0, image.height - 1);
        return int(image.rgb[(std::size_t(y) * std::size_t(image.width) + std::size_t(x)) * 3 + std::size_t(c)]);
    };
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) sum += at(x + dx, y + dy, c);
                out.rgb[(std::size_t(y) * std::size_t(image.width) + std::size_t(x)) * 3 + std::size_t(c)] =
                    std::uint8_t((sum + 4) / 9);
            }
        }
    }
    return out;
}
