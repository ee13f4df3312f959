#pragma once

// Registers the benchmarks of the imaging library: BMP load and save,
// palette lookups, the median cut and 24- to 8-bit conversions.
void registerLibraryBenchmarks();
