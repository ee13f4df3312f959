#include "bench/gif_encode_summary.h"

#include <cmath>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "bench/gif_corpus.h"
#include "bench/gif_encode_benchmarks.h"
#include "bench/gif_encode_pictures.h"

namespace {

struct Tool {
    const char* benchmark;
    const char* label;
    bool inProcess = true;  // its CPU time is the benchmark's own
};

constexpr Tool kLzwTools[] = {{"gifenc_lzw_ours", "ours"},
                              {"gifenc_lzw_giflib", "giflib"},
                              {"gifenc_lzw_pillow", "Pillow", false},
                              {"gifenc_lzw_gifsicle", "gifsicle (process, decode too)", false}};

constexpr Tool kFileTools[] = {{"gifenc_ours", "ours, median cut + Floyd-Steinberg"},
                               {"gifenc_ours_high", "ours, --quality high"},
                               {"gifenc_imagemagick", "ImageMagick convert (process)", false},
                               {"gifenc_imagemagick_fs", "ImageMagick -dither FloydSteinberg (process)", false},
                               {"gifenc_libimagequant_s4", "libimagequant speed 4 + giflib"},
                               {"gifenc_libimagequant_s10", "libimagequant speed 10 + giflib"},
                               {"gifenc_pillow", "Pillow median cut + Floyd-Steinberg", false}};

// Megapixels per second, or a negative number when the benchmark did not run.
double speed(const RecordingReporter& times, const std::string& benchmark, long long pixels) {
    const double ms = times.milliseconds(benchmark);
    return ms <= 0 ? -1 : double(pixels) / ms / 1e3;
}

// The same by the program's CPU time, for tools that run inside it.
double cpuSpeed(const RecordingReporter& times, const Tool& tool, const std::string& picture, long long pixels) {
    const double ms = tool.inProcess ? times.cpuMilliseconds(std::string(tool.benchmark) + "/" + picture) : -1;
    return ms <= 0 ? -1 : double(pixels) / ms / 1e3;
}

std::string cell(double value, const char* format) {
    if (std::isinf(value)) return "lossless";
    if (value < 0) return "–";
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string signedCell(double value, const char* format) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

struct Quality {
    double psnr = -1;
    double lowPass = -1;
};

const std::vector<RgbImage>& blurredSource(const EncodeSource& source) {
    static std::string name;
    static std::vector<RgbImage> blurred;
    if (name != source.name) {
        blurred.clear();
        for (const RgbImage& frame : sourceFrames(source)) blurred.push_back(boxBlurred(frame));
        name = source.name;
    }
    return blurred;
}

Quality measure(const EncodeSource& source, const std::string& file) {
    try {
        const std::vector<RgbImage> frames = decodeGifFile(file);
        std::vector<RgbImage> blurred;
        for (const RgbImage& frame : frames) blurred.push_back(boxBlurred(frame));
        return {psnrRgb(sourceFrames(source), frames), psnrRgb(blurredSource(source), blurred)};
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", file.c_str(), e.what());
        return {};
    }
}

struct FileResult {
    double mps = -1;
    double cpuMps = -1;
    long long bytes = -1;
    Quality quality;
};

FileResult fileResult(const RecordingReporter& times, const Tool& tool, const EncodeSource& source) {
    FileResult result;
    result.mps = speed(times, std::string(tool.benchmark) + "/" + source.name, source.pixels());
    result.cpuMps = cpuSpeed(times, tool, source.name, source.pixels());
    result.bytes = encodedBytes(tool.benchmark, source.name);
    if (result.mps >= 0) {
        result.quality = measure(source, encodeOutputPath(tool.benchmark, source.name));
    }
    return result;
}

void printTarget(const std::string& what, bool known, bool met) {
    std::printf("- %s: %s\n", what.c_str(), !known ? "not measured in this run" : met ? "met" : "NOT met");
}

void printLzwTable(const RecordingReporter& times) {
    std::printf("\nGIF encoding: LZW alone on the 8-bit pictures (MP/s; image data bytes)\n\n| picture |");
    for (const Tool& tool : kLzwTools) std::printf(" %s MP/s |", tool.label);
    std::printf(" ours MP/s by CPU time | giflib MP/s by CPU time |");
    for (const Tool& tool : kLzwTools) std::printf(" %s bytes |", tool.label);
    std::printf(" ours / giflib speed | ours / giflib bytes |\n|---|");
    for (std::size_t i = 0; i < 2 * std::size(kLzwTools) + 4; ++i) std::printf("--:|");
    std::printf("\n");
    for (const GifFile& file : gifCorpus()) {
        if (encodedBytes("gifenc_lzw_ours", file.name) < 0 && encodedBytes("gifenc_lzw_giflib", file.name) < 0) continue;
        std::printf("| %s |", file.name.c_str());
        for (const Tool& tool : kLzwTools)
            std::printf(" %s |", cell(speed(times, std::string(tool.benchmark) + "/" + file.name, file.pixels()), "%.1f").c_str());
        for (const Tool& tool : {kLzwTools[0], kLzwTools[1]})
            std::printf(" %s |", cell(cpuSpeed(times, tool, file.name, file.pixels()), "%.1f").c_str());
        for (const Tool& tool : kLzwTools)
            std::printf(" %s |", cell(double(encodedBytes(tool.benchmark, file.name)), "%.0f").c_str());
        const double ours = speed(times, "gifenc_lzw_ours/" + file.name, file.pixels());
        const double giflib = speed(times, "gifenc_lzw_giflib/" + file.name, file.pixels());
        const long long oursBytes = encodedBytes("gifenc_lzw_ours", file.name);
        const long long giflibBytes = encodedBytes("gifenc_lzw_giflib", file.name);
        std::printf(" %s | %s |\n", cell(ours > 0 && giflib > 0 ? ours / giflib : -1, "%.2f").c_str(),
                    cell(oursBytes > 0 && giflibBytes > 0 ? double(oursBytes) / double(giflibBytes) : -1, "%.4f").c_str());
    }
}

}  // namespace

void printGifEncodeSummary(const RecordingReporter& times) {
    printLzwTable(times);
    std::printf("\nGIF encoding: true colour to a GIF file, one thread (PSNR in dB over R, G and B against the "
                "source; low-pass: both blurred 3 x 3 first)\n\n");
    std::printf("| picture | tool | MP/s | MP/s by CPU time | bytes | PSNR | low-pass PSNR |\n|---|---|--:|--:|--:|--:|--:|\n");
    const EncodeSource* hd = nullptr;
    std::vector<std::pair<const EncodeSource*, std::vector<FileResult>>> results;
    for (const EncodeSource& source : encodeSources()) {
        if (source.name == "photo-1920x1080") hd = &source;
        std::vector<FileResult> row;
        for (const Tool& tool : kFileTools) {
            const FileResult r = fileResult(times, tool, source);
            row.push_back(r);
            if (r.mps < 0) continue;
            std::printf("| %s | %s | %s | %s | %s | %s | %s |\n", source.name.c_str(), tool.label,
                        cell(r.mps, "%.2f").c_str(), cell(r.cpuMps, "%.2f").c_str(), cell(double(r.bytes), "%.0f").c_str(),
                        cell(r.quality.psnr, "%.2f").c_str(), cell(r.quality.lowPass, "%.2f").c_str());
        }
        results.emplace_back(&source, row);
    }

    std::printf("\nTargets (judged by wall-clock time; by the program's CPU time in brackets, where both sides "
                "run inside it)\n");
    for (const GifFile& file : gifCorpus()) {
        const double ours = speed(times, "gifenc_lzw_ours/" + file.name, file.pixels());
        const double giflib = speed(times, "gifenc_lzw_giflib/" + file.name, file.pixels());
        const double oursCpu = cpuSpeed(times, kLzwTools[0], file.name, file.pixels());
        const double giflibCpu = cpuSpeed(times, kLzwTools[1], file.name, file.pixels());
        const long long oursBytes = encodedBytes("gifenc_lzw_ours", file.name);
        const long long giflibBytes = encodedBytes("gifenc_lzw_giflib", file.name);
        if (ours < 0 || giflib < 0) continue;
        const bool small = double(oursBytes) <= 1.01 * double(giflibBytes);
        printTarget("LZW at 1.5 x giflib's speed within giflib's bytes + 1 %, " + file.name + " (" +
                        cell(ours / giflib, "%.2f x") + "; by CPU time " + cell(oursCpu / giflibCpu, "%.2f x") + ", " +
                        (oursCpu >= 1.5 * giflibCpu && small ? "met" : "NOT met") + ")",
                    oursBytes > 0, ours >= 1.5 * giflib && small);
    }
    for (const auto& [source, row] : results) {
        const FileResult& standard = row[0];
        const FileResult& high = row[1];
        const FileResult& liq = row[4];
        if (source == hd && standard.mps > 0) {
            printTarget("median cut + Floyd-Steinberg, file to file, at least 40 MP/s on photo-1920x1080 (" +
                            cell(standard.mps, "%.1f MP/s") + "; by CPU time " + cell(standard.cpuMps, "%.1f MP/s") +
                            ", " + (standard.cpuMps >= 40 ? "met" : "NOT met") + ")",
                        true, standard.mps >= 40);
        }
        if (source->name.rfind("photo-", 0) == 0 && high.mps > 0 && liq.mps > 0) {
            printTarget("high quality within 1 dB of libimagequant speed 4, " + source->name + " (" +
                            signedCell(high.quality.psnr - liq.quality.psnr, "%+.2f dB") + ")",
                        high.quality.psnr > 0 && liq.quality.psnr > 0,
                        high.quality.psnr >= liq.quality.psnr - 1);
            printTarget("high quality at least 10 x libimagequant speed 4's speed, " + source->name + " (" +
                            cell(high.mps / liq.mps, "%.1f x") + "; by CPU time " +
                            cell(high.cpuMps / liq.cpuMps, "%.1f x") + ", " +
                            (high.cpuMps >= 10 * liq.cpuMps ? "met" : "NOT met") + ")",
                        true, high.mps >= 10 * liq.mps);
        }
        if (source->name.rfind("screen-", 0) == 0 && high.mps > 0) {
            printTarget("high quality lossless on " + source->name, high.quality.psnr > 0,
                        std::isinf(high.quality.psnr));
        }
    }
}
