#pragma once

#include <QString>
#include <vector>

#include "bench/psnr.h"

struct OptimizeClip;

// What a GIF shows at moments `delay` milliseconds apart, `count` of them,
// composed as our reader composes it: the frame on screen at each moment.
std::vector<RgbImage> framesOverTime(const QString& gif, int count, int delay);
// PSNR over all the clip's true-colour frames of what the GIF shows at
// their moments.
double clipPsnr(const QString& gif, const OptimizeClip& clip);
// The two files show the same frames for the same time (frames that
// repeat the one before joined to it), transparent pixels alike.
bool showSameFrames(const QString& a, const QString& b);
