#include "bench/gif_summary.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "bench/gif_corpus.h"
#include "bench/gif_peers.h"
#include "bench/our_gif_decoding.h"
#include "bench/plugin_gif_decoding.h"
#include "bench/summary.h"
#include "toolkit/streams.h"

namespace {

using Frames = std::vector<std::vector<std::uint8_t>>;

// Empty when both hold the same pixels, else where they first differ.
std::string difference(const Frames& expected, const Frames& got, int width) {
    if (got.size() != expected.size()) {
        return std::to_string(got.size()) + " frames instead of " + std::to_string(expected.size());
    }
    for (std::size_t f = 0; f < got.size(); ++f) {
        if (got[f].size() != expected[f].size())
            return "frame " + std::to_string(f) + " of another size";
        for (std::size_t i = 0; i < got[f].size(); ++i) {
            if (got[f][i] == expected[f][i]) continue;
            const std::size_t pixel = i / 4;
            return "frame " + std::to_string(f) + ", pixel (" + std::to_string(pixel % width) +
                   ", " + std::to_string(pixel / width) + ")";
        }
    }
    return {};
}

// Runs a decoder once, keeping every frame, and compares it with giflib's.
template <typename Decode>
std::string compareWithGiflib(const Frames& reference, const GifFile& file, Decode decode) {
    Frames frames;
    try {
        decode([&frames](const RgbaCanvas& canvas) { frames.push_back(canvas.rgba); });
    } catch (const std::exception& e) {
        return e.what();
    }
    return difference(reference, frames, file.width);
}

RgbaCanvas canvasFor(const GifFile& file) {
    RgbaCanvas canvas;
    canvas.resize(file.width, file.height);
    return canvas;
}

struct Check {
    std::string ours;
    std::string oursPlugin;
    std::vector<std::string> peersDiffering;
};

Check checkPixels(const GifFile& file) {
    Frames reference;
    RgbaCanvas giflibCanvas = canvasFor(file);
    decodeWithGiflib(file, giflibCanvas,
                     [&](const RgbaCanvas& canvas) { reference.push_back(canvas.rgba); });
    Check check;
    check.ours = compareWithGiflib(reference, file, [&](const FrameDone& done) {
        TMemoryStream stream(QByteArray(reinterpret_cast<const char*>(file.bytes.data()),
                                        qsizetype(file.bytes.size())));
        RgbaCanvas canvas = canvasFor(file);
        decodeWithOurs(stream, canvas, done);
    });
    const auto peer = [&](const char* name, auto decode) {
        const std::string found = compareWithGiflib(reference, file, decode);
        if (!found.empty()) check.peersDiffering.push_back(std::string(name) + ": " + found);
    };
    if (wuffsAvailable()) {
        peer("Wuffs", [&](const FrameDone& done) {
            RgbaCanvas canvas = canvasFor(file);
            decodeWithWuffs(file, canvas, done);
        });
    }
    check.oursPlugin =
        compareWithGiflib(reference, file, [&](const FrameDone& done) { decodeWithPlugin(file, true, done); });
    if (!file.hasDeltaFrames()) peer("stb_image", [&](const FrameDone& done) { decodeWithStb(file, done); });
    peer("Qt", [&](const FrameDone& done) { decodeWithQt(file, done); });
    return check;
}

std::string rate(double pixels, double milliseconds) {
    if (milliseconds <= 0) return "–";
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", pixels / (milliseconds * 1e3));
    return text;
}

std::string ratio(double ourMs, double peerMs) {
    if (ourMs <= 0 || peerMs <= 0) return "–";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", peerMs / ourMs);
    return text;
}

std::string joined(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : "; ") + part;
    return text;
}

}  // namespace

// Every frame through a Qt image-format plugin: ours against Qt's own,
// with Wuffs's whole decode beside them.
std::string pluginRow(const GifFile& file, const RecordingReporter& times, const Check& check) {
    const auto ms = [&](const char* tool) { return times.milliseconds(std::string(tool) + "/" + file.name); };
    const double ours = ms("gif_plugin_ours"), qt = ms("gif_plugin_qt"), wuffs = ms("gif_wuffs");
    if (ours < 0 && qt < 0) return {};
    const double pixels = double(file.pixels());
    char row[256];
    std::snprintf(row, sizeof row, "| %s | %zu | %s | %s | %s | %s | %s | %s |\n", file.name.c_str(),
                  file.frames.size(), rate(pixels, ours).c_str(), rate(pixels, qt).c_str(), rate(pixels, wuffs).c_str(),
                  ratio(ours, qt).c_str(), ratio(ours, wuffs).c_str(), check.oursPlugin.empty() ? "yes" : "NO");
    return row;
}

bool printGifSummary(const RecordingReporter& times) {
    bool same = true;
    std::string rows;
    std::string pluginRows;
    for (const GifFile& file : gifCorpus()) {
        const auto ms = [&](const char* tool) {
            return times.milliseconds(std::string(tool) + "/" + file.name);
        };
        const double ours = ms("gif_ours"), lzw = ms("gif_ours_lzw"), wuffs = ms("gif_wuffs"),
                     giflib = ms("gif_giflib"), stb = ms("gif_stb"), qt = ms("gif_qt");
        // The check costs a decode by every tool: only for pictures this run timed.
        if (ours < 0 && lzw < 0 && wuffs < 0 && giflib < 0 && stb < 0 && qt < 0 && ms("gif_plugin_ours") < 0 &&
            ms("gif_plugin_qt") < 0) {
            continue;
        }
        const Check check = checkPixels(file);
        if (!check.ours.empty()) {
            same = false;
            std::fprintf(stderr, "\n*** MISMATCH: our RGBA differs from giflib's on %s: %s ***\n\n",
                         file.name.c_str(), check.ours.c_str());
        }
        if (!check.oursPlugin.empty()) {
            same = false;
            std::fprintf(stderr, "\n*** MISMATCH: our plugin's frames differ from giflib's on %s: %s ***\n\n",
                         file.name.c_str(), check.oursPlugin.c_str());
        }
        pluginRows += pluginRow(file, times, check);
        const double pixels = double(file.pixels());
        char row[512];
        std::snprintf(
            row, sizeof row, "| %s | %zu | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n",
            file.name.c_str(), (file.bytes.size() + 512) / 1024, rate(pixels, ours).c_str(),
            rate(pixels, lzw).c_str(), rate(pixels, wuffs).c_str(), rate(pixels, giflib).c_str(),
            rate(pixels, stb).c_str(), rate(pixels, qt).c_str(), ratio(ours, wuffs).c_str(),
            ratio(ours, giflib).c_str(), check.ours.empty() ? "yes" : "NO",
            check.peersDiffering.empty() ? "–" : joined(check.peersDiffering).c_str());
        rows += row;
    }
    if (rows.empty()) return same;
    std::printf(
        "\nGIF decoding to 32-bit pixels, one thread (MP/s: the screen's pixels times the frames, "
        "per "
        "second of wall time; ratios are our speed over the peer's)\n\n");
    std::printf(
        "| picture | KB | ours | ours LZW only | Wuffs | giflib | stb_image | Qt | ours / Wuffs "
        "| ours / giflib | ours = giflib | peers differing from giflib |\n");
    std::printf("|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|:-:|---|\n%s", rows.c_str());
    if (!pluginRows.empty()) {
        std::printf("\nEvery frame through a Qt image-format plugin's handler, composed on the screen (MP/s as "
                    "above; Wuffs: its whole decode)\n\n");
        std::printf("| picture | frames | our plugin | Qt's plugin | Wuffs | ours / Qt | ours / Wuffs | ours = giflib |\n");
        std::printf("|---|--:|--:|--:|--:|--:|--:|:-:|\n%s", pluginRows.c_str());
    }
    return same;
}
