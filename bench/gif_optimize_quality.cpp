#include "bench/gif_optimize_quality.h"

#include <memory>

#include "bench/gif_optimize_clips.h"
#include "gif/Zvqgif.h"
#include "gif/screen_composer.h"
#include "imaging/Zvqgraph.h"
#include "toolkit/streams.h"

namespace {

struct Shown {
    std::vector<std::uint32_t> pixels;
    int width = 0;
    int delay = 0;
};

std::vector<Shown> shownFrames(const QString& gif) {
    TMemoryStream in;
    in.LoadFromFile(gif);
    TZVQ_GIFDecompressor decoder;
    decoder.OpenImageStream(&in);
    TGIFScreenComposer composer(decoder.GetScreenWidth(), decoder.GetScreenHeight());
    std::vector<Shown> frames;
    for (;;) {
        TGIFGraphicControlInfo info;
        const std::unique_ptr<TZVQExtGraphic> graphic = decoder.ReadGIFGraphicFromStream(&in, info);
        if (!graphic) break;
        const auto* picture = dynamic_cast<const TDeviceIndependentBitmap*>(graphic.get());
        if (!picture) continue;
        composer.add(*picture, info, decoder.lastTransparentIndex());
        if (!frames.empty() && frames.back().pixels == composer.pixels()) {
            frames.back().delay += info.DelayTime;
        } else {
            frames.push_back({composer.pixels(), composer.width(), info.DelayTime});
        }
    }
    return frames;
}

RgbImage rgbOf(const Shown& frame) {
    RgbImage image{frame.width, int(frame.pixels.size()) / frame.width, {}};
    for (std::uint32_t p : frame.pixels) image.rgb.insert(image.rgb.end(), {std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p)});
    return image;
}

RgbImage rgbOf(const QImage& image) {
    RgbImage out{image.width(), image.height(), {}};
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) out.rgb.insert(out.rgb.end(), {std::uint8_t(qRed(line[x])), std::uint8_t(qGreen(line[x])), std::uint8_t(qBlue(line[x]))});
    }
    return out;
}

}  // namespace

std::vector<RgbImage> framesOverTime(const QString& gif, int count, int delay) {
    const std::vector<Shown> frames = shownFrames(gif);
    std::vector<RgbImage> out;
    std::size_t at = 0;
    int end = frames.empty() ? 0 : frames[0].delay;
    for (int i = 0; i < count && !frames.empty(); ++i) {
        while (i * delay >= end && at + 1 < frames.size()) end += frames[++at].delay;
        out.push_back(rgbOf(frames[at]));
    }
    return out;
}

double clipPsnr(const QString& gif, const OptimizeClip& clip) {
    std::vector<RgbImage> reference;
    for (const QImage& frame : clip.trueColour) reference.push_back(rgbOf(frame));
    return psnrRgb(reference, framesOverTime(gif, int(clip.trueColour.size()), clip.delay));
}

bool showSameFrames(const QString& a, const QString& b) {
    const std::vector<Shown> first = shownFrames(a), second = shownFrames(b);
    if (first.size() != second.size()) return false;
    for (std::size_t i = 0; i < first.size(); ++i) {
        if (first[i].pixels != second[i].pixels || first[i].delay != second[i].delay) return false;
    }
    return true;
}
