#include "bench/library_benchmarks.h"

#include <benchmark/benchmark.h>

#include "bench/pictures.h"
#include "bench/row_conversion.h"
#include "imaging/Zvqgraph.h"

namespace {

using benchmark::State;

// Time per pixel in the table: the inverse of a pixel rate.
void countPixels(State& state, const PictureSize& size) {
    state.SetItemsProcessed(state.iterations() * size.pixels());
    state.counters["per_px"] = benchmark::Counter(double(size.pixels()),
                                                  benchmark::Counter::kIsIterationInvariantRate |
                                                      benchmark::Counter::kInvert);
}

void bmpLoad(State& state, PictureSize size) {
    const QString file = QString::fromStdString(picturePath(size));
    for (auto _ : state) {
        TDeviceIndependentBitmap dib(file);
        benchmark::DoNotOptimize(dib.GetBits());
    }
    countPixels(state, size);
}

void bmpSave(State& state, PictureSize size) {
    TDeviceIndependentBitmap& dib = picture(size);
    const QString file = QString::fromStdString(outputPath(size, "saved"));
    for (auto _ : state) dib.SaveToFile(file);
    countPixels(state, size);
}

// The writer's palette cache already holds every cell the picture uses
// (with dithering: nearly every cell, as the errors move colours about).
template <typename Ditherer>
void rowsCached(State& state, PictureSize size) {
    TDeviceIndependentBitmap& source = picture(size);
    TQuantizedPalette palette(&source, 256);
    RowConversion conversion(source, palette, ditherClassOf<Ditherer>());
    conversion.run();
    for (auto _ : state) {
        conversion.run();
        benchmark::ClobberMemory();
    }
    countPixels(state, size);
}

// Every pass starts with an empty cache and fills it as it goes.
void paletteLookupCold(State& state, PictureSize size) {
    TDeviceIndependentBitmap& source = picture(size);
    TQuantizedPalette palette(&source, 256);
    RowConversion conversion(source, palette, ditherClassOf<TNoDither>());
    for (auto _ : state) {
        state.PauseTiming();
        conversion.resetCache(palette);
        state.ResumeTiming();
        conversion.run();
        benchmark::ClobberMemory();
    }
    countPixels(state, size);
}

// No cache at all: each pixel searches the palette.
void paletteLookupUncached(State& state, PictureSize size) {
    TDeviceIndependentBitmap& source = picture(size);
    TQuantizedPalette palette(&source, 256);
    TLogicalPalette plain;
    plain.Assign(&palette);
    RowConversion conversion(source, plain, ditherClassOf<TNoDither>());
    TNoDither ditherer(&conversion.writer(), &plain);
    for (auto _ : state) {
        conversion.run(ditherer);
        benchmark::ClobberMemory();
    }
    countPixels(state, size);
}

void medianCut(State& state, PictureSize size) {
    TDeviceIndependentBitmap& source = picture(size);
    for (auto _ : state) {
        TQuantizedPalette palette(&source, 256);
        benchmark::DoNotOptimize(palette.GetCount());
    }
    countPixels(state, size);
}

template <typename Ditherer>
void convert(State& state, PictureSize size) {
    TDeviceIndependentBitmap& source = picture(size);
    for (auto _ : state) {
        TDeviceIndependentBitmap target(&source, TDIBFormat::dt8bit, nullptr, ditherClassOf<Ditherer>());
        benchmark::DoNotOptimize(target.GetBits());
    }
    countPixels(state, size);
}

// What a user's program does for one file: load, median cut, dither, save.
void convertFile(State& state, PictureSize size) {
    const QString in = QString::fromStdString(picturePath(size));
    const QString out = QString::fromStdString(outputPath(size, "ours-fs"));
    for (auto _ : state) {
        TDeviceIndependentBitmap source(in);
        TDeviceIndependentBitmap target(&source, TDIBFormat::dt8bit, nullptr, ditherClassOf<TFSDitherer>());
        target.SaveToFile(out);
    }
    countPixels(state, size);
}

void add(const std::string& name, void (*fn)(State&, PictureSize), PictureSize size) {
    benchmark::RegisterBenchmark((name + "/" + size.name()).c_str(), fn, size)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

}  // namespace

void registerLibraryBenchmarks() {
    for (const PictureSize& size : kPictureSizes) add("bmp_load", bmpLoad, size);
    for (const PictureSize& size : kPictureSizes) add("bmp_save", bmpSave, size);
    for (const PictureSize& size : kPictureSizes) add("palette_lookup_cached", rowsCached<TNoDither>, size);
    for (const PictureSize& size : kPictureSizes) add("palette_lookup_cold", paletteLookupCold, size);
    // A search per pixel: the smallest picture says enough.
    add("palette_lookup_uncached", paletteLookupUncached, kPictureSizes[0]);
    for (const PictureSize& size : kPictureSizes) add("median_cut", medianCut, size);
    for (const PictureSize& size : kPictureSizes) add("convert_nodither", convert<TNoDither>, size);
    for (const PictureSize& size : kPictureSizes) add("convert_fs", convert<TFSDitherer>, size);
    for (const PictureSize& size : kPictureSizes) add("fs_rows_cached", rowsCached<TFSDitherer>, size);
    for (const PictureSize& size : kPictureSizes) add("convert_fs_file", convertFile, size);
}
