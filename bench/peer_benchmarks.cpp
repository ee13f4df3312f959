#include "bench/peer_benchmarks.h"

#include <benchmark/benchmark.h>

#include "bench/peers.h"
#include "bench/pictures.h"

namespace {

using benchmark::State;

void imageMagickFs(State& state, PictureSize size) {
    const std::string in = picturePath(size), out = outputPath(size, "imagemagick-fs");
    for (auto _ : state) {
        if (!imageMagickDither(in, out)) {
            state.SkipWithError("convert failed");
            break;
        }
    }
}

void imageMagickCopyOnly(State& state, PictureSize size) {
    const std::string in = picturePath(size), out = outputPath(size, "imagemagick-copy");
    for (auto _ : state) {
        if (!imageMagickCopy(in, out)) {
            state.SkipWithError("convert failed");
            break;
        }
    }
}

void libImageQuantFs(State& state, PictureSize size) {
    const std::vector<unsigned char> rgba = rgbaOf(rgbOf(picture(size)));
    for (auto _ : state) {
        IndexedImage image = libImageQuantDither(rgba, size.width, size.height);
        benchmark::DoNotOptimize(image.indices.data());
    }
}

void add(const std::string& name, void (*fn)(State&, PictureSize), PictureSize size) {
    benchmark::RegisterBenchmark((name + "/" + size.name()).c_str(), fn, size)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

}  // namespace

void registerPeerBenchmarks() {
    for (const PictureSize& size : kPictureSizes) add("imagemagick_fs_process", imageMagickFs, size);
    for (const PictureSize& size : kPictureSizes) add("imagemagick_copy_process", imageMagickCopyOnly, size);
    for (const PictureSize& size : kPictureSizes) add("libimagequant_fs", libImageQuantFs, size);
}
