#pragma once

class RecordingReporter;

// For every GIF picture this run timed: first each decoder's pixels are
// compared once with giflib's (a difference of ours is reported loudly),
// then the pixel rates and ours against Wuffs and giflib are printed as a
// markdown table. Returns false when our pixels differ from giflib's.
bool printGifSummary(const RecordingReporter& times);
