#include "bench/summary.h"

#include <cstdio>

#include "bench/peers.h"
#include "bench/pictures.h"
#include "imaging/Zvqgraph.h"

void RecordingReporter::ReportRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs) {
        // With --benchmark_repetitions the median stands for the benchmark:
        // it comes after the repetitions and replaces them.
        const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
        if ((run.run_type != Run::RT_Iteration && !median) || run.error_occurred) continue;
        benchmark::BenchmarkName name = run.run_name;
        name.time_type.clear();
        name.repetitions.clear();
        times_[name.str()] = run.GetAdjustedRealTime() * 1e3 / benchmark::GetTimeUnitMultiplier(run.time_unit);
        cpuTimes_[name.str()] = run.GetAdjustedCPUTime() * 1e3 / benchmark::GetTimeUnitMultiplier(run.time_unit);
    }
    ConsoleReporter::ReportRuns(runs);
}

double RecordingReporter::milliseconds(const std::string& name) const {
    const auto found = times_.find(name);
    return found == times_.end() ? -1.0 : found->second;
}

double RecordingReporter::cpuMilliseconds(const std::string& name) const {
    const auto found = cpuTimes_.find(name);
    return found == cpuTimes_.end() ? -1.0 : found->second;
}

namespace {

struct Quality {
    double ours = 0, oursPlain = 0, imageMagick = 0, libImageQuant = 0;
};

// convert writes 8-bit BMP files run-length encoded, which the library does
// not read: a lossless 24-bit copy is measured instead.
double psnrOfImageMagickFile(const RgbImage& reference, const std::string& file) {
    const std::string plain = file.substr(0, file.size() - 4) + "-24bit.bmp";
    if (!runProcess({QUORVAN_BENCH_CONVERT, file, "-type", "TrueColor", "BMP3:" + plain})) return -1;
    TDeviceIndependentBitmap dib(QString::fromStdString(plain));
    return psnrRgb(reference, rgbOf(dib));
}

Quality measureQuality(const PictureSize& size) {
    TDeviceIndependentBitmap& source = picture(size);
    const RgbImage reference = rgbOf(source);
    Quality q;
    TDeviceIndependentBitmap ours(&source, TDIBFormat::dt8bit, nullptr, ditherClassOf<TFSDitherer>());
    q.ours = psnrRgb(reference, rgbOf(ours));
    TDeviceIndependentBitmap plain(&source, TDIBFormat::dt8bit, nullptr, ditherClassOf<TNoDither>());
    q.oursPlain = psnrRgb(reference, rgbOf(plain));
    const std::string out = outputPath(size, "imagemagick-fs");
    q.imageMagick = imageMagickDither(picturePath(size), out) ? psnrOfImageMagickFile(reference, out) : -1;
    q.libImageQuant = psnrRgb(reference, rgbOf(libImageQuantDither(rgbaOf(reference), size.width, size.height)));
    return q;
}

std::string cell(double value, const char* format) {
    if (value < 0) return "–";
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string ratio(double ours, double peer) { return ours < 0 || peer <= 0 ? "–" : cell(ours / peer, "%.2f"); }

void printTarget(const char* what, bool known, bool met) {
    std::printf("- %s: %s\n", what, !known ? "not measured in this run" : met ? "met" : "NOT met");
}

}  // namespace

void printSummary(const RecordingReporter& times) {
    std::printf("\n24- to 8-bit, 256 colours, Floyd-Steinberg (times in ms; PSNR in dB, RGB, against the source)\n\n");
    std::printf("| picture | ours | ours file to file | ImageMagick process | ImageMagick copy only | libimagequant "
                "| ours / ImageMagick | ours / libimagequant | PSNR ours | PSNR ImageMagick | PSNR libimagequant "
                "| PSNR ours, no dither |\n");
    std::printf("|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|\n");
    for (const PictureSize& size : kPictureSizes) {
        const std::string n = size.name();
        const double ours = times.milliseconds("convert_fs/" + n);
        const double oursFile = times.milliseconds("convert_fs_file/" + n);
        const double im = times.milliseconds("imagemagick_fs_process/" + n);
        const double imCopy = times.milliseconds("imagemagick_copy_process/" + n);
        const double liq = times.milliseconds("libimagequant_fs/" + n);
        // PSNR costs a run of every converter: only for pictures this run timed.
        const bool timed = ours >= 0 || oursFile >= 0 || im >= 0 || liq >= 0;
        const Quality q = timed ? measureQuality(size) : Quality{-1, -1, -1, -1};
        std::printf("| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", n.c_str(),
                    cell(ours, "%.1f").c_str(), cell(oursFile, "%.1f").c_str(), cell(im, "%.1f").c_str(),
                    cell(imCopy, "%.1f").c_str(), cell(liq, "%.1f").c_str(), ratio(oursFile, im).c_str(),
                    ratio(ours, liq).c_str(), cell(q.ours, "%.2f").c_str(), cell(q.imageMagick, "%.2f").c_str(),
                    cell(q.libImageQuant, "%.2f").c_str(), cell(q.oursPlain, "%.2f").c_str());
    }
    std::printf("\nours / ImageMagick compares file to file with the convert process; ours / libimagequant "
                "compares in memory.\n\nTargets\n");
    const PictureSize& hd = kPictureSizes[1];
    const double ours = times.milliseconds("convert_fs/" + hd.name());
    const double oursFile = times.milliseconds("convert_fs_file/" + hd.name());
    const double im = times.milliseconds("imagemagick_fs_process/" + hd.name());
    const double liq = times.milliseconds("libimagequant_fs/" + hd.name());
    printTarget("median cut + Floyd-Steinberg on 1920x1080 faster than ImageMagick", oursFile >= 0 && im >= 0,
                oursFile < im);
    printTarget("median cut + Floyd-Steinberg on 1920x1080 faster than libimagequant", ours >= 0 && liq >= 0,
                ours < liq);
    for (const PictureSize& size : kPictureSizes) {
        const double cached = times.milliseconds("palette_lookup_cached/" + size.name());
        const double perPixel = cached * 1e6 / double(size.pixels());
        const std::string what = "cached lookup under 2 ns per pixel, " + size.name() + " (" +
                                 cell(cached < 0 ? -1 : perPixel, "%.2f ns") + ")";
        printTarget(what.c_str(), cached >= 0, perPixel < 2.0);
    }
}
