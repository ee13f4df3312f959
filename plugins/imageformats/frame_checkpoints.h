#pragma once

#include <cstdint>
#include <vector>

#include "gif_frame_composer.h"

// Composed screens kept every so many frames, so that a reader stepping
// back resumes at the nearest one before the frame it wants instead of
// decoding from the first frame. What they hold together stays within a
// budget: when it is spent, every other one goes and the spacing doubles.
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
    // Keeps the state after `frame` when it is one of those kept and not
    // kept yet.
    void offer(int frame, const GifFrameComposer& composer, std::int64_t resumeAt, int delay);
    // The latest kept at or before `frame`, or null.
    const Checkpoint* latestAtOrBefore(int frame) const;
    int spacing() const { return spacing_; }

private:
    void thinOut();

    std::vector<Checkpoint> kept_;
    int spacing_ = 16;
    std::int64_t budget_ = 0;
};
