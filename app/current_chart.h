#pragma once

#include <QString>
#include <cstdint>

// Chart geometry shared by the read sequence and the details panel.
constexpr int kChartLeft = 46;       // x of the current axis and of the first sample
constexpr int kSampleStep = 3;       // pixels from one one-second sample to the next
constexpr int kBaselineOffset = 30;  // the 0 mA row lies this far above the bottom
constexpr int kStatusHigh = 5;       // status trace row for a set flag
constexpr int kStatusLow = 25;       // ... and for a clear one

// A sample's height on the chart in pixels, and so its current in tenths of
// a mA times the scale: the whole word is scaled, then masked, which drops
// the status bit and, at the fine scale, bit 13 as well.
int sampleHeight(std::uint16_t word, int scale);

// A sample's time as the details panel shows it: minutes and seconds, 4:05.
QString sampleTimeText(int sample);

// The status trace row of a sample word: bit 15 is the sensor's status flag.
int statusLevelOf(std::uint16_t word);
