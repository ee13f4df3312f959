#include "frame_checkpoints.h"

#include <algorithm>

void FrameCheckpoints::offer(int frame, const GifFrameComposer& composer, std::int64_t resumeAt, int delay) {
    if ((frame + 1) % spacing_ != 0) return;
    if (!kept_.empty() && kept_.back().frame >= frame) return;  // composed again after a step back
    const std::int64_t screenBytes = composer.screen().sizeInBytes();
    if (screenBytes > budget_) return;
    kept_.push_back({frame, composer, resumeAt, delay});
    while (std::int64_t(kept_.size()) * screenBytes > budget_) thinOut();
}

// Keeps those at the doubled spacing.
void FrameCheckpoints::thinOut() {
    spacing_ *= 2;
    std::erase_if(kept_, [this](const Checkpoint& kept) { return (kept.frame + 1) % spacing_ != 0; });
}

const FrameCheckpoints::Checkpoint* FrameCheckpoints::latestAtOrBefore(int frame) const {
    const Checkpoint* found = nullptr;
    for (const Checkpoint& kept : kept_) {
        if (kept.frame > frame) break;
        found = &kept;
    }
    return found;
}
