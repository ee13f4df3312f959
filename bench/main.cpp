// The imaging benchmark: the library's BMP, palette, quantizer and
// conversion costs on photographs, and GIF decoding on photographs,
// screenshot-like pictures, gradients, noise and an animation, with the
// peers on the same pictures; then GIF encoding, the LZW coder alone and
// true colour to GIF files, against other encoders.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "bench/allocation_check.h"
#include "bench/gif_corpus.h"
#include "bench/gif_decode_benchmarks.h"
#include "bench/gif_encode_benchmarks.h"
#include "bench/gif_encode_pictures.h"
#include "bench/gif_encode_summary.h"
#include "bench/gif_summary.h"
#include "bench/library_benchmarks.h"
#include "bench/peer_benchmarks.h"
#include "bench/pictures.h"
#include "bench/summary.h"

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--pictures=", 11) == 0) {
            setPictureDirectory(argv[i] + 11);
        } else {
            std::fprintf(stderr, "usage: %s [benchmark options] [--pictures=DIR]\n", argv[0]);
            return 2;
        }
    }
    if (!picturesPresent()) {
        std::fprintf(stderr, "Test pictures missing (photo-WxH.bmp): bench/run prepares them.\n");
        return 1;
    }
    const bool clean = runAllocationCheck();
    registerLibraryBenchmarks();
    registerPeerBenchmarks();
    if (gifCorpus().empty()) {
        std::fprintf(stderr, "GIF pictures missing (photo-WxH.gif, ...): bench/run prepares them.\n");
    } else {
        registerGifDecodeBenchmarks();
    }
    if (gifCorpus().empty() || encodeSources().empty()) {
        std::fprintf(stderr, "GIF encoding pictures missing (screen-WxH.bmp, ...): bench/run prepares them.\n");
    } else {
        registerGifEncodeBenchmarks();
    }
    RecordingReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Defaults
                                                     : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printSummary(reporter);
    const bool gifPixelsSame = printGifSummary(reporter);
    printGifEncodeSummary(reporter);
    benchmark::Shutdown();
    return clean && gifPixelsSame ? 0 : 1;
}
