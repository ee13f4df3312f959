#pragma once

#include <QString>
#include <cstdint>

// Writes `input` again as small as the frame optimiser makes it: every
// frame the same on screen, with its delay, comments and the loop count. A
// file the optimiser cannot make smaller, or cannot write (a frame of more
// than 256 colours), is copied as it is. Plain text is left out, as readers
// without fonts leave it out. The screen and every image are held to
// `pixelLimit` pixels.
void optimizeGif(const QString& input, const QString& output, std::int64_t pixelLimit);
