#pragma once

#include <QString>

// The frame optimisation benchmark: lossless re-optimisation of whole-frame
// GIFs by zvqgif optimize, gifsicle -O3 and ImageMagick's -layers Optimize;
// true-colour clips by zvqgif animate and ffmpeg's palettegen/paletteuse;
// the optimiser on one thread and on two. Clips are made into `work` on
// first use; `animation` is the 100-frame GIF of the decoding benchmark
// (skipped when missing).
struct OptimizeBenchmarkSetup {
    QString work;
    QString photo;
    QString animation;
    QString zvqgif;
};

// Each tool runs five times; the summary quotes the fastest run of each.
void registerOptimizeBenchmarks(const OptimizeBenchmarkSetup& setup);
// The table of every tool's bytes, time and quality on every clip, the
// checks that ours shows the same frames, and the goals; false when a check
// failed.
bool printOptimizeSummary();
