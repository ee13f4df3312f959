#include "frame_checkpoints.h"

namespace {

// What reading a frame costs beyond its pixels, counted as pixels: a step
// back over many tiny frames stays short too.
constexpr std::int64_t kFrameOverheadPixels = 256;

}  // namespace

void FrameCheckpoints::offer(int frame, const GifFrameComposer& composer, std::int64_t resumeAt, int delay,
                             std::int64_t pixels) {
    if (frame <= lastFrame_) return;  // composed again after a step back: counted before
    lastFrame_ = frame;
    ++framesSince_;
    workSince_ += pixels + kFrameOverheadPixels;
    const QImage& screen = composer.screen();
    const std::int64_t screenPixels = std::int64_t(screen.width()) * screen.height();
    if (framesSince_ < frameSpacing_ || workSince_ < workSpacingScreens_ * screenPixels) return;
    if (screen.sizeInBytes() > budget_) return;
    kept_.push_back({frame, composer, resumeAt, delay});
    framesSince_ = 0;
    workSince_ = 0;
    while (std::int64_t(kept_.size()) * screen.sizeInBytes() > budget_) thinOut();
}

// Keeps every other one, the latest among them.
void FrameCheckpoints::thinOut() {
    frameSpacing_ *= 2;
    workSpacingScreens_ *= 2;
    std::vector<Checkpoint> thinned;
    for (std::size_t i = kept_.size() % 2 == 0 ? 1 : 0; i < kept_.size(); i += 2) thinned.push_back(std::move(kept_[i]));
    kept_ = std::move(thinned);
}

const FrameCheckpoints::Checkpoint* FrameCheckpoints::latestAtOrBefore(int frame) const {
    const Checkpoint* found = nullptr;
    for (const Checkpoint& kept : kept_) {
        if (kept.frame > frame) break;
        found = &kept;
    }
    return found;
}
