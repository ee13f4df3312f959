#include "bench/peers.h"

#include <spawn.h>
#include <sys/wait.h>

#include <memory>
#include <stdexcept>

extern char** environ;

bool runProcess(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return false;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool imageMagickDither(const std::string& in, const std::string& out) {
    return runProcess({QUORVAN_BENCH_CONVERT, in, "-dither", "FloydSteinberg", "-colors", "256", out});
}

bool imageMagickCopy(const std::string& in, const std::string& out) {
    return runProcess({QUORVAN_BENCH_CONVERT, in, out});
}

std::vector<unsigned char> rgbaOf(const RgbImage& image) {
    std::vector<unsigned char> rgba;
    rgba.reserve(image.rgb.size() / 3 * 4);
    for (std::size_t i = 0; i < image.rgb.size(); i += 3) {
        rgba.insert(rgba.end(), {image.rgb[i], image.rgb[i + 1], image.rgb[i + 2], 255});
    }
    return rgba;
}

namespace {

struct LiqDeleter {
    void operator()(liq_attr* p) const { liq_attr_destroy(p); }
    void operator()(liq_image* p) const { liq_image_destroy(p); }
    void operator()(liq_result* p) const { liq_result_destroy(p); }
};

}  // namespace

IndexedImage libImageQuantDither(const std::vector<unsigned char>& rgba, int width, int height, int speed) {
    std::unique_ptr<liq_attr, LiqDeleter> attr(liq_attr_create());
    if (!attr || liq_set_max_colors(attr.get(), 256) != LIQ_OK || liq_set_speed(attr.get(), speed) != LIQ_OK) {
        throw std::runtime_error("liq_attr_create");
    }
    std::unique_ptr<liq_image, LiqDeleter> image(liq_image_create_rgba(attr.get(), rgba.data(), width, height, 0));
    if (!image) throw std::runtime_error("liq_image_create_rgba");
    liq_result* quantized = nullptr;
    if (liq_image_quantize(image.get(), attr.get(), &quantized) != LIQ_OK) {
        throw std::runtime_error("liq_image_quantize");
    }
    std::unique_ptr<liq_result, LiqDeleter> result(quantized);
    liq_set_dithering_level(result.get(), 1.0f);
    IndexedImage out{width, height, std::vector<unsigned char>(std::size_t(width) * std::size_t(height)), {}};
    if (liq_write_remapped_image(result.get(), image.get(), out.indices.data(), out.indices.size()) != LIQ_OK) {
        throw std::runtime_error("liq_write_remapped_image");
    }
    // The palette is final only after the remapping.
    out.palette = *liq_get_palette(result.get());
    return out;
}

RgbImage rgbOf(const IndexedImage& image) {
    RgbImage out{image.width, image.height, {}};
    out.rgb.reserve(image.indices.size() * 3);
    for (unsigned char index : image.indices) {
        const liq_color& c = image.palette.entries[index];
        out.rgb.insert(out.rgb.end(), {c.r, c.g, c.b});
    }
    return out;
}
