#include "bench/psnr.h"

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

double psnrRgb(const RgbImage& reference, const RgbImage& image) {
    if (reference.width != image.width || reference.height != image.height ||
        reference.rgb.size() != image.rgb.size() || reference.rgb.empty()) {
        throw std::invalid_argument("PSNR of images of different sizes");
    }
    double sum = 0;
    for (std::size_t i = 0; i < reference.rgb.size(); ++i) {
        const double d = double(reference.rgb[i]) - double(image.rgb[i]);
        sum += d * d;
    }
    if (sum == 0) return std::numeric_limits<double>::infinity();
    const double mse = sum / double(reference.rgb.size());
    return 10.0 * std::log10(255.0 * 255.0 / mse);
}
