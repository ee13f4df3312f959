#include "bench/gif_encode_benchmarks.h"

#include <benchmark/benchmark.h>

#include <exception>
#include <filesystem>
#include <map>

#include "bench/gif_corpus.h"
#include "bench/gif_encode_peers.h"
#include "bench/gif_encode_pictures.h"
#include "bench/our_gif_encoding.h"
#include "bench/pictures.h"

namespace {

using benchmark::State;

std::map<std::string, long long>& bytesWritten() {
    static std::map<std::string, long long> bytes;
    return bytes;
}

void record(State& state, const std::string& tool, const std::string& picture, long long pixels, long long bytes) {
    state.SetItemsProcessed(state.iterations() * pixels);
    bytesWritten()[tool + "/" + picture] = bytes;
}

long long fileSize(const std::string& path) { return (long long)std::filesystem::file_size(path); }

// Runs `encode` once per iteration; one that throws or returns false ends
// the benchmark with a message.
template <typename Encode>
bool timeEncodes(State& state, Encode encode) {
    try {
        for (auto _ : state) {
            if (!encode()) {
                state.SkipWithError("the encoder failed");
                return false;
            }
        }
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return false;
    }
    return true;
}

// --- LZW alone, on the GIF corpus's indices ---------------------------------

void lzwOurs(State& state, const GifFile* file) {
    const std::vector<IndexedFrame>& frames = indexedFrames(*file);
    std::vector<std::uint8_t> out;
    long long bytes = 0;
    if (timeEncodes(state, [&] { return (bytes = encodeIndicesWithOurs(frames, out)) > 0; }))
        record(state, "gifenc_lzw_ours", file->name, file->pixels(), bytes);
}

void lzwGiflib(State& state, const GifFile* file) {
    const std::vector<IndexedFrame>& frames = indexedFrames(*file);
    std::vector<std::uint8_t> out;
    if (timeEncodes(state, [&] { return giflibEncode(frames, out) > 0; }))
        record(state, "gifenc_lzw_giflib", file->name, file->pixels(), imageDataBytes(out));
}

// Timed by the script itself, without the start of Python and Pillow.
void lzwPillow(State& state, const GifFile* file) {
    const std::string in = pictureDirectory() + "/" + file->name + ".gif";
    const std::string out = encodeOutputPath("lzw-pillow", file->name);
    for (auto _ : state) {
        const double seconds = pillowRecode(in, out);
        if (seconds < 0) {
            state.SkipWithError("Pillow failed");
            return;
        }
        state.SetIterationTime(seconds);
    }
    record(state, "gifenc_lzw_pillow", file->name, file->pixels(), imageDataBytes(fileBytes(out)));
}

void lzwGifsicle(State& state, const GifFile* file) {
    const std::string in = pictureDirectory() + "/" + file->name + ".gif";
    const std::string out = encodeOutputPath("lzw-gifsicle", file->name);
    if (timeEncodes(state, [&] { return gifsicleRecode(in, out); }))
        record(state, "gifenc_lzw_gifsicle", file->name, file->pixels(), imageDataBytes(fileBytes(out)));
}

// --- True colour to a GIF file ------------------------------------------------

template <TGIFPaletteQuality quality>
void ours(State& state, const EncodeSource* source) {
    const std::string tool = quality == TGIFPaletteQuality::High ? "gifenc_ours_high" : "gifenc_ours";
    const std::string out = encodeOutputPath(tool, source->name);
    if (timeEncodes(state, [&] { return encodeFileWithOurs(*source, quality, out); }))
        record(state, tool, source->name, source->pixels(), fileSize(out));
}

template <bool floydSteinberg>
void imageMagick(State& state, const EncodeSource* source) {
    const std::string tool = floydSteinberg ? "gifenc_imagemagick_fs" : "gifenc_imagemagick";
    const std::string out = encodeOutputPath(tool, source->name);
    if (timeEncodes(state, [&] { return imageMagickToGif(*source, floydSteinberg, out); }))
        record(state, tool, source->name, source->pixels(), fileSize(out));
}

template <int speed>
void libImageQuant(State& state, const EncodeSource* source) {
    const std::string tool = "gifenc_libimagequant_s" + std::to_string(speed);
    const std::string out = encodeOutputPath(tool, source->name);
    if (timeEncodes(state, [&] {
            libImageQuantToGif(*source, speed, out);
            return true;
        }))
        record(state, tool, source->name, source->pixels(), fileSize(out));
}

void pillow(State& state, const EncodeSource* source) {
    const std::string out = encodeOutputPath("gifenc_pillow", source->name);
    for (auto _ : state) {
        const double seconds = pillowToGif(*source, out);
        if (seconds < 0) {
            state.SkipWithError("Pillow failed");
            return;
        }
        state.SetIterationTime(seconds);
    }
    record(state, "gifenc_pillow", source->name, source->pixels(), fileSize(out));
}

// Wall-clock times; `manual`: the tool reports its own time.
template <typename Input>
void add(const std::string& name, void (*fn)(State&, const Input*), const Input& input, bool manual = false) {
    benchmark::internal::Benchmark* b =
        benchmark::RegisterBenchmark((name + "/" + input.name).c_str(), fn, &input)->Unit(benchmark::kMillisecond);
    if (manual) {
        b->UseManualTime();
    } else {
        b->UseRealTime();
    }
}

}  // namespace

long long encodedBytes(const std::string& tool, const std::string& picture) {
    const auto found = bytesWritten().find(tool + "/" + picture);
    return found == bytesWritten().end() ? -1 : found->second;
}

void registerGifEncodeBenchmarks() {
    for (const GifFile& file : gifCorpus()) {
        add("gifenc_lzw_ours", lzwOurs, file);
        add("gifenc_lzw_giflib", lzwGiflib, file);
        add("gifenc_lzw_pillow", lzwPillow, file, true);
        add("gifenc_lzw_gifsicle", lzwGifsicle, file);
    }
    for (const EncodeSource& source : encodeSources()) {
        add("gifenc_ours", ours<TGIFPaletteQuality::Standard>, source);
        add("gifenc_ours_high", ours<TGIFPaletteQuality::High>, source);
        add("gifenc_imagemagick", imageMagick<false>, source);
        add("gifenc_imagemagick_fs", imageMagick<true>, source);
        add("gifenc_libimagequant_s4", libImageQuant<4>, source);
        add("gifenc_libimagequant_s10", libImageQuant<10>, source);
        add("gifenc_pillow", pillow, source, true);
    }
}
