// The colours of optimised frames: each frame's own, and the table they
// share.
#include <algorithm>
#include <array>
#include <bit>
#include <bitset>
#include <cmath>
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

// The frame's ids from their first numbering, renumbered, and how many
// runs of one id they make.
void keepIds(TOptimizedFrame& frame, const std::uint16_t* ids, std::size_t count,
             const std::vector<std::uint16_t>& renumbered) {
    const auto keep = [&](auto& kept, auto clear) {
        kept.resize(count);
        std::int64_t runs = count > 0;
        for (std::size_t i = 0; i < count; ++i) {
            kept[i] = ids[i] == TOptimizedFrame::kClear ? clear : decltype(clear)(renumbered[ids[i]]);
            runs += i > 0 && ids[i] != ids[i - 1];
        }
        frame.runs = runs;
    };
    frame.ids.clear();
    frame.narrowIds.clear();
    // 256 colours fit a byte when none of the pixels must be transparent.
    if (frame.colours.size() < 256 || (frame.colours.size() == 256 && !frame.hasClear)) {
        keep(frame.narrowIds, TOptimizedFrame::kNarrowClear);
    } else {
        keep(frame.ids, TOptimizedFrame::kClear);
    }
}

}  // namespace

// One pass numbers the colours as they come; a second puts those that
// changed pixels have first.
void collectColours(TOptimizedFrame& frame) {
    ColourNumbering numbering;
    const std::size_t count = frame.pixels.size();
    // Numbered first in sixteen bits; the frame keeps them in eight where
    // they fit.
    thread_local std::vector<std::uint16_t> wide;
    std::uint16_t* const ids = keptBuffer(wide, count);
    const std::uint32_t* const pixels = frame.pixels.data();
    const std::uint64_t* const unchangedPixels = frame.unchanged.data();
    TColourIndexMap::Finder finder = numbering.map.finder();
    std::uint16_t* required = numbering.required.data();
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t colour = pixels[i];
        const bool free = isMarked(unchangedPixels, i);
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
        throw EGIFFrameColours();
    }
    frame.hasClear = numbering.clear;
    keepIds(frame, ids, count, renumbered);
    std::size_t unchanged = 0;
    for (const std::uint64_t word : frame.unchanged) unchanged += std::size_t(std::popcount(word));
    frame.unchangedCount = unchanged;
    // Only frames whose unchanged pixels may be coded transparent keep
    // their marks.
    if (!unchangedMayTurnTransparent(frame)) releaseBuffer(frame.unchanged);
}

namespace {

// Some of a table's entries, by their place in it.
using EntrySet = std::bitset<256>;

struct FrameEntries {
    EntrySet entries;
    std::int64_t codes = 0;  // about how many codes it takes
    std::int64_t saving = 0;  // about how many bits it saves at a smaller code size
    bool transparent = false;  // whether it needs a transparent index as well
};

// Entries taken in turn from the frames that add fewest to those taken
// (the one that saves more first of equals), while they fit in `room`.
EntrySet gatherFewest(const std::vector<FrameEntries>& frames, std::size_t room) {
    EntrySet taken;
    std::vector<bool> done(frames.size(), false);
    for (;;) {
        std::size_t best = frames.size(), fewest = room + 1;
        for (std::size_t f = 0; f < frames.size(); ++f) {
            if (done[f]) continue;
            const std::size_t added = (frames[f].entries & ~taken).count();
            if (taken.count() + added > room) continue;
            if (added < fewest || (added == fewest && frames[f].saving > frames[best].saving)) {
                best = f;
                fewest = added;
            }
        }
        if (best == frames.size()) return taken;
        taken |= frames[best].entries;
        done[best] = true;
    }
}

// The `room` entries most needed, by what the frames that need them save;
// while some frame needs others too, the one that needs most others is let
// go.
EntrySet gatherMostNeeded(const std::vector<FrameEntries>& frames, std::size_t room) {
    std::array<std::int64_t, 256> need{};
    for (const FrameEntries& frame : frames) {
        for (std::size_t e = 0; e < 256; ++e) need[e] += frame.entries[e] ? frame.saving : 0;
    }
    std::vector<bool> held(frames.size(), true);
    for (;;) {
        std::array<int, 256> entries;
        std::iota(entries.begin(), entries.end(), 0);
        std::stable_sort(entries.begin(), entries.end(),
                         [&](int a, int b) { return need[std::size_t(a)] > need[std::size_t(b)]; });
        EntrySet taken;
        for (std::size_t i = 0; i < room && need[std::size_t(entries[i])] > 0; ++i) taken.set(std::size_t(entries[i]));
        std::size_t worst = frames.size(), most = 0;
        for (std::size_t f = 0; f < frames.size(); ++f) {
            const std::size_t outside = held[f] ? (frames[f].entries & ~taken).count() : 0;
            if (outside > most || (outside == most && outside > 0 && frames[f].saving < frames[worst].saving)) {
                worst = f;
                most = outside;
            }
        }
        if (worst == frames.size()) return taken;
        held[worst] = false;
        for (std::size_t e = 0; e < 256; ++e) need[e] -= frames[worst].entries[e] ? frames[worst].saving : 0;
    }
}

// What the frames whose entries are all among `entries` save.
std::int64_t savingHeld(const std::vector<FrameEntries>& frames, const EntrySet& entries) {
    std::int64_t saving = 0;
    for (const FrameEntries& frame : frames) saving += (frame.entries & ~entries).none() ? frame.saving : 0;
    return saving;
}

// Of the ways to choose at most `room` entries, the one whose frames save
// most; `first` (the entries first in the order as it is) when
// none holds more.
EntrySet gather(const std::vector<FrameEntries>& frames, std::size_t room, const EntrySet& first) {
    EntrySet best = first;
    for (const EntrySet& way : {gatherFewest(frames, room), gatherMostNeeded(frames, room)}) {
        if (savingHeld(frames, way) > savingHeld(frames, best)) best = way;
    }
    return best;
}

// `order` (entries, in the order they are preferred) with the entries of
// as many frames as fit below half of `size` put first, below a quarter
// among those, and so on: a frame whose changed colours all have small
// indices codes them with fewer bits. One index below each half stays free
// for the frames' transparency.
void nest(std::vector<int>& order, const std::vector<FrameEntries>& frames, std::size_t size) {
    const std::size_t half = size / 2;
    if (half < 4 || order.size() < half) return;
    std::vector<FrameEntries> fitting;
    for (const FrameEntries& frame : frames) {
        if (frame.entries.count() < half) fitting.push_back(frame);
    }
    EntrySet first;
    for (std::size_t i = 0; i + 1 < half; ++i) first.set(std::size_t(order[i]));
    const EntrySet low = gather(fitting, half - 1, first);
    if (low.none()) return;
    std::stable_partition(order.begin(), order.end(), [&](int entry) { return low[std::size_t(entry)]; });
    std::vector<int> lowOrder(order.begin(), order.begin() + std::ptrdiff_t(low.count()));
    std::vector<FrameEntries> within;
    for (const FrameEntries& frame : fitting) {
        if ((frame.entries & ~low).none()) within.push_back(frame);
    }
    nest(lowOrder, within, half);
    std::copy(lowOrder.begin(), lowOrder.end(), order.begin());
}

// About how many LZW codes the frame takes: one a run of a colour, and a
// long run takes more.
std::int64_t codesAbout(const TOptimizedFrame& frame) {
    return std::max<std::int64_t>(frame.runs, 1) + std::int64_t(std::sqrt(double(frame.idCount())));
}

// The bits `codes` LZW codes take at a minimum code size: each is as wide
// as the dictionary's next code, and the dictionary starts again when full.
std::int64_t bitsOfCodes(std::int64_t codes, int codeSize) {
    const std::int64_t first = (std::int64_t(1) << codeSize) + 2;
    const std::int64_t perTable = 4096 - first;
    const auto bitsOfFirst = [&](std::int64_t count) {
        std::int64_t bits = 0, done = 0;
        for (int width = codeSize + 1; width <= 12 && done < count; ++width) {
            const std::int64_t upTo = std::min(count, (std::int64_t(1) << width) - first + 1);
            bits += (upTo - done) * width;
            done = upTo;
        }
        return bits + (count - done) * 12;
    };
    return codes / perTable * bitsOfFirst(perTable) + bitsOfFirst(codes % perTable);
}

// The bits the frames' codes take with the entries in `order`, at the
// code size of their largest index (their transparent one included).
std::int64_t codeBits(const std::vector<int>& order, const std::vector<FrameEntries>& frames) {
    std::array<int, 256> place{};
    for (std::size_t i = 0; i < order.size(); ++i) place[std::size_t(order[i])] = int(i);
    std::int64_t bits = 0;
    for (const FrameEntries& frame : frames) {
        EntrySet places;
        for (std::size_t e = 0; e < 256; ++e) {
            if (frame.entries[e]) places.set(std::size_t(place[e]));
        }
        int largest = 0;
        for (int i = 255; i >= 0; --i) {
            if (places[std::size_t(i)]) {
                largest = i;
                break;
            }
        }
        if (frame.transparent) {
            int free = 0;
            while (free < 256 && places[std::size_t(free)]) ++free;
            largest = std::max(largest, free);
        }
        bits += bitsOfCodes(frame.codes, std::max(2, int(std::bit_width(unsigned(largest)))));
    }
    return bits;
}

// The colours (at most 256, in the order they are preferred) reordered so
// that frames whose changed colours fit below a half, a quarter, ... of the
// table find them there, and code with a smaller code size; as they are
// when that would not take fewer bits.
std::vector<std::uint32_t> nestedForCodeSizes(const std::vector<std::uint32_t>& colours,
                                              const std::vector<TOptimizedFrame*>& frames) {
    TColourIndexMap entryOf;
    for (std::size_t i = 0; i < colours.size(); ++i) entryOf.insert(colours[i], std::uint32_t(i));
    std::vector<FrameEntries> needs;
    for (const TOptimizedFrame* frame : frames) {
        FrameEntries need{{}, 0, 0, frame->hasClear || frame->unchangedCount > 0 || frame->declaresTransparency};
        bool fits = true;
        for (int id = 0; id < frame->requiredColours && fits; ++id) {
            const std::uint32_t entry = entryOf.find(frame->colours[std::size_t(id)]);
            fits = entry != TColourIndexMap::kMissing;
            if (fits) need.entries.set(entry);
        }
        if (!fits || need.entries.none()) continue;
        need.codes = codesAbout(*frame);
        need.saving = bitsOfCodes(need.codes, 8) - bitsOfCodes(need.codes, 7);
        needs.push_back(need);
    }
    std::vector<int> order(colours.size());
    std::iota(order.begin(), order.end(), 0);
    std::vector<int> nested = order;
    nest(nested, needs, std::bit_ceil(std::max<std::size_t>(colours.size(), 2)));
    if (codeBits(nested, needs) < codeBits(order, needs)) order = nested;
    std::vector<std::uint32_t> reordered;
    for (int entry : order) reordered.push_back(colours[std::size_t(entry)]);
    return reordered;
}

}  // namespace

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
    std::vector<std::uint32_t> inOrder;
    for (std::uint32_t colour : byUse) {
        if (inTable.find(colour) != TColourIndexMap::kMissing) inOrder.push_back(colour);
    }
    table.colours = nestedForCodeSizes(inOrder, frames);
    return table;
}
