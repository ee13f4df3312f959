#pragma once

#include "bench/summary.h"

// Prints the GIF encoding results as markdown tables: the LZW coders on the
// 8-bit pictures, then every tool's true-colour file with its speed, size
// and PSNR (plain and after a 3 x 3 box blur) against the source, then the
// targets. Each output file the benchmarks left is decoded by giflib.
void printGifEncodeSummary(const RecordingReporter& times);
