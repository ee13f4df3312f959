#pragma once

#include <QString>
#include <cstdint>
#include <optional>

#include "gif/frame_optimizer.h"

// Writes `input` again as small as the frame optimiser makes it: every
// frame the same on screen, with its delay, comments and the loop count. A
// file the optimiser cannot make smaller, or cannot write (a frame of more
// than 256 colours), is copied as it is. Plain text is left out, as readers
// without fonts leave it out. The screen and every image are held to
// `pixelLimit` pixels. A file damaged after its first image gives the
// images before the fault, written smaller (never copied), and the fault is
// returned; one damaged sooner raises it.
std::optional<TGIFStreamDamage> optimizeGif(const QString& input, const QString& output, std::int64_t pixelLimit);
