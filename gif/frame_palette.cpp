// The colours of optimised frames: each frame's own, and the table they
// share.
#include <algorithm>
#include <numeric>

#include "gif/colour_index_map.h"
#include "gif/gif_errors.h"
#include "gif/optimized_frame.h"

namespace {

// More colours than this in one frame's unchanged pixels can never be
// coded in them: a colour table holds 256.
constexpr std::size_t kMostColours = 4096;

// The global table's colours when not all fit: the first frame's, which is
// the largest, then those most frames use.
std::vector<std::uint32_t> pickColours(const std::vector<std::uint32_t>& byUse,
                                       const std::vector<TOptimizedFrame*>& frames, std::size_t room) {
    if (byUse.size() <= room) return byUse;
    std::vector<std::uint32_t> picked;
    TColourIndexMap taken;
    const auto take = [&](std::uint32_t colour) {
        if (picked.size() < room && taken.find(colour) == TColourIndexMap::kMissing) {
            taken.insert(colour, 0);
            picked.push_back(colour);
        }
    };
    const TOptimizedFrame& first = *frames.front();
    if (std::size_t(first.requiredColours) <= room) {
        for (std::uint32_t colour : first.colours) take(colour);
    }
    for (std::uint32_t colour : byUse) take(colour);
    return picked;
}

}  // namespace

namespace {

// A frame's colours numbered as they come.
struct ColourNumbering {
    TColourIndexMap map;
    std::vector<std::uint32_t> colours;
    // Whether a changed pixel has the colour, at its id + 1; unchanged
    // pixels and transparent ones mark [0], so that the pixel loop stores
    // without a branch or a load.
    std::vector<std::uint16_t> required = {0};
    bool clear = false;

    // The id of a pixel whose colour is not numbered yet: kClear for
    // transparency and for colours only unchanged pixels have past what a
    // table could hold, else a new number.
    [[gnu::noinline]] std::uint32_t add(std::uint32_t colour, bool free) {
        if (colour == 0 || (free && colours.size() >= kMostColours)) {
            clear |= colour == 0;
            return TOptimizedFrame::kClear;
        }
        colours.push_back(colour);
        required.push_back(0);
        return map.insert(colour, std::uint32_t(colours.size() - 1));
    }
};

}  // namespace

// One pass numbers the colours as they come; a second puts those that
// changed pixels have first, where they are not first already.
void collectColours(TOptimizedFrame& frame) {
    ColourNumbering numbering;
    const std::size_t count = frame.pixels.size();
    frame.ids.resize(count);
    const std::uint32_t* const pixels = frame.pixels.data();
    const std::uint8_t* const unchangedPixels = frame.unchanged.data();
    std::uint16_t* const ids = frame.ids.data();
    TColourIndexMap::Finder finder = numbering.map.finder();
    std::uint16_t* required = numbering.required.data();
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t colour = pixels[i];
        const bool free = unchangedPixels[i] != 0;
        std::uint32_t id = colour == 0 ? TColourIndexMap::kMissing : finder.find(colour);
        if (id == TColourIndexMap::kMissing) {
            id = numbering.add(colour, free);
            finder = numbering.map.finder();
            required = numbering.required.data();
        }
        required[(id + 1) * std::uint32_t(!free & (id != TOptimizedFrame::kClear))] = 1;
        ids[i] = std::uint16_t(id);
    }
    const std::vector<std::uint32_t>& colours = numbering.colours;
    std::vector<std::uint16_t> renumbered(colours.size());
    frame.colours.clear();
    for (int pass = 1; pass >= 0; --pass) {
        for (std::size_t id = 0; id < colours.size(); ++id) {
            if (numbering.required[id + 1] != pass) continue;
            renumbered[id] = std::uint16_t(frame.colours.size());
            frame.colours.push_back(colours[id]);
        }
        if (pass == 1) frame.requiredColours = int(frame.colours.size());
    }
    if (frame.requiredColours > 256) {
        throw EGIFError(QStringLiteral("Cannot write a frame that changes more than 256 colours"));
    }
    bool inOrder = true;
    for (std::size_t id = 0; id < renumbered.size(); ++id) inOrder &= renumbered[id] == id;
    if (!inOrder) {
        for (std::uint16_t& id : frame.ids) {
            if (id != TOptimizedFrame::kClear) id = renumbered[id];
        }
    }
    frame.hasClear = numbering.clear;
    // Counted apart, in a loop that vectorises.
    std::size_t unchanged = 0;
    for (std::size_t i = 0; i < count; ++i) unchanged += unchangedPixels[i] != 0;
    frame.unchangedCount = unchanged;
    frame.hasUnchanged = unchanged > 0;
}

TGlobalTable chooseGlobalTable(const std::vector<TOptimizedFrame*>& frames) {
    TGlobalTable table;
    if (frames.empty()) return table;
    // How many frames change pixels to each colour, in the order the colours
    // first appear.
    TColourIndexMap seen;
    std::vector<std::uint32_t> colours;
    std::vector<int> uses;
    for (const TOptimizedFrame* frame : frames) {
        for (std::size_t id = 0; id < frame->colours.size(); ++id) {
            const std::uint32_t at = seen.insert(frame->colours[id], std::uint32_t(colours.size()));
            if (at == colours.size()) {
                colours.push_back(frame->colours[id]);
                uses.push_back(0);
            }
            if (int(id) < frame->requiredColours) ++uses[at];
        }
    }
    std::vector<int> order(colours.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return uses[a] > uses[b]; });
    std::vector<std::uint32_t> byUse;
    for (int i : order) byUse.push_back(colours[std::size_t(i)]);
    const std::vector<std::uint32_t> picked = pickColours(byUse, frames, 256);
    // Back in order of use.
    TColourIndexMap inTable;
    for (std::uint32_t colour : picked) inTable.insert(colour, 0);
    for (std::uint32_t colour : byUse) {
        if (inTable.find(colour) != TColourIndexMap::kMissing) table.colours.push_back(colour);
    }
    return table;
}
