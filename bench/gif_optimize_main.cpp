// The frame optimisation benchmark (bench/run optimize): see
// gif_optimize_benchmark.h.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "bench/gif_optimize_benchmark.h"
#include "heap_policy.h"

int main(int argc, char** argv) {
    setUpHeap();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    OptimizeBenchmarkSetup setup{QStringLiteral(QUORVAN_BENCH_OPTIMIZE_WORK), QStringLiteral(QUORVAN_BENCH_PHOTO),
                                 QStringLiteral(QUORVAN_BENCH_PICTURES "/animation-480x270.gif"),
                                 QStringLiteral(QUORVAN_BENCH_ZVQGIF)};
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--work=", 7) == 0) {
            setup.work = QString::fromLocal8Bit(argv[i] + 7);
        } else {
            std::fprintf(stderr, "usage: %s [benchmark options] [--work=DIR]\n", argv[0]);
            return 2;
        }
    }
    registerOptimizeBenchmarks(setup);
    benchmark::ConsoleReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Defaults
                                                              : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const bool same = printOptimizeSummary();
    benchmark::Shutdown();
    return same ? 0 : 1;
}
