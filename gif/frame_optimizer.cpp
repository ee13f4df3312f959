#include "gif/frame_optimizer.h"

#include <algorithm>
#include <cstring>

#include "gif/colour_index_map.h"
#include "gif/frame_colour_collector.h"
#include "gif/gif_encoder.h"
#include "gif/optimized_frame.h"
#include "gif/screen_composer.h"
#include "toolkit/streams.h"

namespace {

// The longest delay a graphic control extension holds.
constexpr std::int32_t kLongestDelay = 65535 * 10;

// Grows towards a bounding box one span at a time; cheaper than QRect's
// union in the pixel loops.
struct Bounds {
    int left = INT32_MAX, top = INT32_MAX, right = -1, bottom = -1;
    void add(int x0, int x1, int y) {
        left = std::min(left, x0);
        right = std::max(right, x1);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
    QRect rect() const { return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom)); }
};

}  // namespace

struct TGIFFrameOptimizer::Scan {
    QRect changed;  // pixels the screen has otherwise than what is under it
    QRect cleared;  // of those, pixels the screen has transparent over a colour
    std::int64_t count = 0;  // how many pixels changed
};

TGIFFrameOptimizer::TGIFFrameOptimizer(int screenWidth, int screenHeight)
    : width_(std::max(screenWidth, 1)), height_(std::max(screenHeight, 1)) {
    reset();
}

void TGIFFrameOptimizer::reset() {
    composer_ = std::make_unique<TGIFScreenComposer>(width_, height_);
    streamEncoder_.reset();
    streamOut_.reset();
    streamGlobal_.reset();
    streamed_ = 0;
    previous_.assign(std::size_t(width_) * std::size_t(height_), 0);
    state_ = previous_;
    unsynced_ = QRect();
    collector_.reset();
    frames_.clear();
    comments_.clear();
}

void TGIFFrameOptimizer::addComment(const QByteArray& text) { comments_.push_back(text); }

// Where the screen differs from `under` in `area`, leaving out `exclude`.
TGIFFrameOptimizer::Scan TGIFFrameOptimizer::scan(const std::vector<std::uint32_t>& under, QRect area,
                                                 QRect exclude) const {
    Bounds changed, cleared;
    std::int64_t count = 0;
    area = area.intersected(composer_->rect());
    const auto span = [&](int y, int from, int to) {
        if (from >= to) return;
        const std::uint32_t* screen = composer_->row(y);
        const std::uint32_t* below = under.data() + std::size_t(y) * std::size_t(width_);
        if (std::memcmp(screen + from, below + from, std::size_t(to - from) * 4) == 0) return;
        int first = from, last = to - 1;
        while (screen[first] == below[first]) ++first;
        while (screen[last] == below[last]) --last;
        changed.add(first, last, y);
        // One pass that vectorises counts the changes and tells whether any
        // pixel turned transparent; only then are those looked for.
        int differing = 0, turnedClear = 0;
        for (int x = first; x <= last; ++x) {
            differing += screen[x] != below[x];
            turnedClear |= (screen[x] == 0) & (below[x] != 0);
        }
        count += differing;
        if (!turnedClear) return;
        for (int x = first; x <= last; ++x) {
            if (screen[x] == 0 && below[x] != 0) cleared.add(x, x, y);
        }
    };
    for (int y = area.top(); y <= area.bottom(); ++y) {
        if (y < exclude.top() || y > exclude.bottom()) {
            span(y, area.left(), area.right() + 1);
        } else {
            span(y, area.left(), std::min(exclude.left(), area.right() + 1));
            span(y, std::max(exclude.right() + 1, area.left()), area.right() + 1);
        }
    }
    return {changed.rect(), cleared.rect(), count};
}

// Where the screen has a colour in `area`: what a frame must draw after a
// background disposal there.
TGIFFrameOptimizer::Scan TGIFFrameOptimizer::scanAgainstClear(QRect area) const {
    Bounds changed;
    std::int64_t count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const std::uint32_t* screen = composer_->row(y);
        int first = area.left(), last = area.right();
        while (first <= last && screen[first] == 0) ++first;
        while (last >= first && screen[last] == 0) --last;
        if (first <= last) changed.add(first, last, y);
        for (int x = first; x <= last; ++x) count += screen[x] != 0;
    }
    return {changed.rect(), {}, count};
}

// Whether the screen has every colour of a full table in `area`: a frame
// around it would have no index left for the transparent pixels.
bool TGIFFrameOptimizer::fillsATable(QRect area) const {
    TColourIndexMap colours;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const std::uint32_t* screen = composer_->row(y);
        for (int x = area.left(); x <= area.right(); ++x) {
            if (screen[x] == 0) continue;
            colours.insert(screen[x], 0);
            if (colours.size() >= 256) return true;
        }
    }
    return false;
}

void TGIFFrameOptimizer::syncPrevious() {
    for (int y = unsynced_.top(); y <= unsynced_.bottom(); ++y) {
        std::memcpy(previous_.data() + std::size_t(y) * std::size_t(width_) + unsynced_.left(),
                    composer_->row(y) + unsynced_.left(), std::size_t(unsynced_.width()) * 4);
    }
    unsynced_ = QRect();
}

void TGIFFrameOptimizer::addFrame(const TDeviceIndependentBitmap& picture, const TGIFGraphicControlInfo& info,
                                  int transparentIndex) {
    syncPrevious();
    const QRect dirty = composer_->add(picture, info, transparentIndex);
    unsynced_ = dirty;
    QRect next = composer_->rect();
    // The first frame covers the screen, transparent around the picture,
    // unless the picture has 256 colours: then it is the picture alone.
    if (frames_.empty() && dirty != next && fillsATable(dirty)) next = dirty;
    if (!frames_.empty()) {
        TOptimizedFrame& last = *frames_.back();
        // The screen as the last frame left it, outside its rectangle and in it.
        const Scan outside = scan(previous_, dirty, last.rect);
        const Scan inside = scan(previous_, dirty.intersected(last.rect), {});
        // Only where the screen did change does previous_ need it.
        unsynced_ = outside.changed | inside.changed;
        const bool still = unsynced_.isEmpty();
        if (still && !info.UserInput && last.info.DelayTime + std::int64_t(info.DelayTime) <= kLongestDelay) {
            last.info.DelayTime += info.DelayTime;
            return;
        }
        next = decideDisposal(last, dirty, outside, inside);
        // Disposal alone made the screen: a pixel that shows already lets it happen.
        if (next.isEmpty()) next = QRect(0, 0, 1, 1);
    }
    auto frame = std::make_unique<TOptimizedFrame>();
    frame->rect = next;
    frame->info = info;
    frame->info.DisposalMethod = TDisposalMethods::dmNone;
    frame->comments = std::move(comments_);
    comments_.clear();
    frames_.push_back(std::move(frame));
}

// Chooses how the last frame is disposed of, from what each way would leave
// the next frame to draw: kept, its rectangle cleared, or put back as it
// was. Pixels that are to turn transparent outside its rectangle can only
// be cleared, by a rectangle grown to take them in. Returns the next
// frame's rectangle; the last frame is finished, and state_ is what the
// next one is drawn over.
QRect TGIFFrameOptimizer::decideDisposal(TOptimizedFrame& last, QRect dirty, const Scan& outside,
                                         const Scan& inside) {
    QRect next;
    TDisposalMethods disposal = TDisposalMethods::dmRestoreBackground;
    if (!outside.cleared.isEmpty()) {
        last.rect |= outside.cleared;
        next = scan(previous_, dirty, last.rect).changed | scanAgainstClear(last.rect).changed;
    } else {
        // Changed pixels cost far more than the unchanged ones between them,
        // which code as runs of transparency.
        std::int64_t best = INT64_MAX;
        const auto consider = [&](TDisposalMethods method, const Scan& within) {
            const QRect rect = outside.changed | within.changed;
            const std::int64_t cost = 4 * (outside.count + within.count) + std::int64_t(rect.width()) * rect.height();
            if (!within.cleared.isEmpty() || cost >= best) return;
            best = cost;
            next = rect;
            disposal = method;
        };
        consider(TDisposalMethods::dmNone, inside);
        // Under the first frame is nothing, which readers that start on a
        // screen of the background colour would put back.
        if (&last != frames_.front().get()) {
            consider(TDisposalMethods::dmRestorePrevious, scan(state_, last.rect, {}));
        }
        consider(TDisposalMethods::dmRestoreBackground, scanAgainstClear(last.rect));
    }
    last.info.DisposalMethod = disposal;
    // Some readers clear to transparency only where the cleared frame has a
    // transparent index, and fill with the background colour otherwise.
    last.declaresTransparency = disposal == TDisposalMethods::dmRestoreBackground;
    finalize(last, previous_);
    applyDisposal(last);
    collector().add(&last);
    return next;
}

// Takes the frame's pixels from `screen`, and which of them show already
// from state_.
void TGIFFrameOptimizer::finalize(TOptimizedFrame& frame, const std::vector<std::uint32_t>& screen) {
    const QRect r = frame.rect;
    frame.pixels = collector().buffer(std::size_t(r.width()) * std::size_t(r.height()));
    // A byte a pixel first, in a loop that vectorises, then packed.
    thread_local std::vector<std::uint8_t> marks;
    std::uint8_t* const unchangedBytes = keptBuffer(marks, frame.pixels.size());
    // Local pointers: the byte stores would otherwise make the compiler
    // load the vectors' own pointers again at every pixel.
    std::uint32_t* pixels = frame.pixels.data();
    std::uint8_t* unchanged = unchangedBytes;
    const std::size_t width = std::size_t(r.width());
    for (int y = r.top(); y <= r.bottom(); ++y, pixels += width, unchanged += width) {
        const std::size_t row = std::size_t(y) * std::size_t(width_) + std::size_t(r.left());
        const std::uint32_t* drawn = screen.data() + row;
        const std::uint32_t* under = state_.data() + row;
        std::memcpy(pixels, drawn, width * 4);
        for (std::size_t x = 0; x < width; ++x) unchanged[x] = (drawn[x] != 0) & (drawn[x] == under[x]);
    }
    packMarks(unchangedBytes, frame.pixels.size(), frame.unchanged);
}

void TGIFFrameOptimizer::applyDisposal(const TOptimizedFrame& frame) {
    const QRect r = frame.rect;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        std::uint32_t* row = state_.data() + std::size_t(y) * std::size_t(width_) + r.left();
        switch (frame.info.DisposalMethod) {
        case TDisposalMethods::dmRestoreBackground: std::fill_n(row, r.width(), 0u); break;
        case TDisposalMethods::dmRestorePrevious: break;
        default:
            std::memcpy(row, previous_.data() + std::size_t(y) * std::size_t(width_) + r.left(),
                        std::size_t(r.width()) * 4);
        }
    }
}
