#include "bench/gif_decode_benchmarks.h"

#include <benchmark/benchmark.h>

#include <exception>
#include <string>

#include "bench/gif_corpus.h"
#include "bench/gif_peers.h"
#include "bench/our_gif_decoding.h"
#include "bench/plugin_gif_decoding.h"
#include "toolkit/streams.h"

namespace {

using benchmark::State;

void countPixels(State& state, const GifFile& file) {
    state.SetItemsProcessed(state.iterations() * file.pixels());
}

// Runs one decode per iteration; a decoder that fails ends the benchmark
// with its message.
template <typename Decode>
void timeDecodes(State& state, const GifFile& file, Decode decode) {
    try {
        for (auto _ : state) benchmark::DoNotOptimize(decode());
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    countPixels(state, file);
}

QByteArray bytesOf(const GifFile& file) {
    return QByteArray(reinterpret_cast<const char*>(file.bytes.data()),
                      qsizetype(file.bytes.size()));
}

RgbaCanvas canvasFor(const GifFile& file) {
    RgbaCanvas canvas;
    canvas.resize(file.width, file.height);
    return canvas;
}

void ours(State& state, const GifFile* file) {
    TMemoryStream stream(bytesOf(*file));
    RgbaCanvas canvas = canvasFor(*file);
    timeDecodes(state, *file, [&] { return decodeWithOurs(stream, canvas); });
}

void oursLzw(State& state, const GifFile* file) {
    TMemoryStream stream(bytesOf(*file));
    std::vector<std::uint8_t> indices;
    timeDecodes(state, *file, [&] { return readIndicesWithOurs(stream, *file, indices); });
}

void wuffs(State& state, const GifFile* file) {
    RgbaCanvas canvas = canvasFor(*file);
    timeDecodes(state, *file, [&] { return decodeWithWuffs(*file, canvas); });
}

void giflib(State& state, const GifFile* file) {
    RgbaCanvas canvas = canvasFor(*file);
    timeDecodes(state, *file, [&] { return decodeWithGiflib(*file, canvas); });
}

void stb(State& state, const GifFile* file) {
    timeDecodes(state, *file, [&] { return decodeWithStb(*file); });
}

void qt(State& state, const GifFile* file) {
    timeDecodes(state, *file, [&] { return decodeWithQt(*file); });
}

void oursPlugin(State& state, const GifFile* file) {
    timeDecodes(state, *file, [&] { return decodeWithPlugin(*file, true); });
}

void qtPlugin(State& state, const GifFile* file) {
    timeDecodes(state, *file, [&] { return decodeWithPlugin(*file, false); });
}

void add(const std::string& name, void (*fn)(State&, const GifFile*), const GifFile& file) {
    benchmark::RegisterBenchmark((name + "/" + file.name).c_str(), fn, &file)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

}  // namespace

void registerGifDecodeBenchmarks() {
    for (const GifFile& file : gifCorpus()) {
        add("gif_ours", ours, file);
        add("gif_ours_lzw", oursLzw, file);
        if (wuffsAvailable()) add("gif_wuffs", wuffs, file);
        add("gif_giflib", giflib, file);
        // stb_image's animation loader reads freed memory on frames that
        // cover part of the screen (Debian 12's version).
        if (!file.hasDeltaFrames()) add("gif_stb", stb, file);
        add("gif_qt", qt, file);
        add("gif_plugin_ours", oursPlugin, file);
        add("gif_plugin_qt", qtPlugin, file);
    }
}
