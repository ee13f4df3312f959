#pragma once

#include <cstdint>

// Chart geometry shared by the read sequence and the details panel.
constexpr int kChartLeft = 46;       // x of the current axis and of the first sample
constexpr int kSampleStep = 3;       // pixels from one one-second sample to the next
constexpr int kBaselineOffset = 30;  // the 0 mA row lies this far above the bottom
constexpr int kStatusHigh = 5;       // status trace row for a set flag
constexpr int kStatusLow = 25;       // ... and for a clear one

// The status trace row of a sample word: bit 15 is the sensor's status flag.
int statusLevelOf(std::uint16_t word);
