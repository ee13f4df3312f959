#include "bench/allocation_check.h"

#include <cstdio>

#include "bench/allocation_counter.h"
#include "bench/pictures.h"
#include "bench/row_conversion.h"

namespace {

template <typename Pass>
std::uint64_t allocationsIn(Pass pass) {
    const std::uint64_t before = allocationCount();
    pass();
    return allocationCount() - before;
}

void printCount(const char* what, const PictureSize& size, std::uint64_t count, int rows) {
    std::printf("| %-44s | %9s | %5d | %11llu | %7.3f |\n", what, size.name().c_str(), rows,
                static_cast<unsigned long long>(count), double(count) / rows);
}

}  // namespace

bool runAllocationCheck() {
    std::printf("\nAllocation check (calls of the global operator new)\n\n");
    std::printf("| %-44s | %9s | %5s | %11s | %7s |\n", "pass", "picture", "rows", "allocations", "per row");
    std::printf("|%s|%s|%s|%s|%s|\n", std::string(46, '-').c_str(), std::string(11, '-').c_str(),
                std::string(7, '-').c_str(), std::string(13, '-').c_str(), std::string(9, '-').c_str());
    bool clean = true;
    for (const PictureSize& size : kPictureSizes) {
        TDeviceIndependentBitmap& source = picture(size);
        TQuantizedPalette palette(&source, 256);
        RowConversion plain(source, palette, ditherClassOf<TNoDither>());
        RowConversion dithered(source, palette, ditherClassOf<TFSDitherer>());
        plain.run();
        dithered.run();
        const std::uint64_t cached = allocationsIn([&] { plain.run(); });
        const std::uint64_t fs = allocationsIn([&] { dithered.run(); });
        plain.resetCache(palette);
        const std::uint64_t cold = allocationsIn([&] { plain.run(); });
        const std::uint64_t whole = allocationsIn([&] {
            TDeviceIndependentBitmap target(&source, TDIBFormat::dt8bit, nullptr, ditherClassOf<TFSDitherer>());
        });
        if (&size == &kPictureSizes[0]) {
            // A search per pixel is slow: the smallest picture only.
            TLogicalPalette uncached;
            uncached.Assign(&palette);
            TNoDither search(&plain.writer(), &uncached);
            const std::uint64_t none = allocationsIn([&] { plain.run(search); });
            printCount("rows, TNoDither, no cache", size, none, plain.rows());
            clean = clean && none == 0;
        }
        printCount("rows, TNoDither, cache ready", size, cached, plain.rows());
        printCount("rows, TFSDitherer, cache ready", size, fs, plain.rows());
        printCount("rows, TNoDither, cache filled on the way", size, cold, plain.rows());
        printCount("conversion constructor, median cut + FS", size, whole, plain.rows());
        // Filling the cache allocates the cache itself, once per pass.
        clean = clean && cached == 0 && fs == 0 && cold <= 1;
    }
    std::printf("\nRow conversions %s (a pass that starts without a cache allocates the cache once).\n\n",
                clean ? "allocate nothing per pixel or per row" : "ALLOCATE per pixel or per row");
    return clean;
}
