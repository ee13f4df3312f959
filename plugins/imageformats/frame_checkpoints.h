#pragma once

#include <cstdint>
#include <vector>

#include "gif_frame_composer.h"

// Composed screens kept along the way, so that a reader stepping back
// resumes at the nearest one before the frame it wants instead of decoding
// from the first frame.
//
// A screen is kept only after at least 16 frames and at least a screen's
// worth of composing since the last one: keeping one costs a copy of the
// screen, so an animation of small changes on a large screen keeps few, and
// a step back never composes much more than a screen's pixels again. What
// the kept screens hold together stays within a budget: when it is spent,
// every other one goes and both spacings double.
class FrameCheckpoints {
public:
    struct Checkpoint {
        int frame = -1;                 // the frame last composed
        GifFrameComposer composer;      // the screen after it
        std::int64_t resumeAt = 0;      // where the decoder goes on
        int delay = 0;                  // the frame's delay
    };

    // `budget`: bytes the kept screens may take together.
    void setBudget(std::int64_t bytes) { budget_ = bytes; }
    // Counts the frame just composed (`pixels`: its rectangle) and keeps the
    // state after it when enough work lies behind the last one kept.
    void offer(int frame, const GifFrameComposer& composer, std::int64_t resumeAt, int delay, std::int64_t pixels);
    // The latest kept at or before `frame`, or null.
    const Checkpoint* latestAtOrBefore(int frame) const;

private:
    void thinOut();

    std::vector<Checkpoint> kept_;
    int lastFrame_ = -1;            // the last frame counted
    int framesSince_ = 0;           // counted since the last one kept
    std::int64_t workSince_ = 0;
    int frameSpacing_ = 16;
    std::int64_t workSpacingScreens_ = 1;
    std::int64_t budget_ = 0;
};
