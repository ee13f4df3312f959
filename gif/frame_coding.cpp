// Optimised frames into image data: with the global table or one of their
// own, unchanged pixels in their colours or free to be transparent, the
// smallest kept.
#include <algorithm>
#include <bit>
#include <optional>

#include "gif/colour_index_map.h"
#include "gif/gif_errors.h"
#include "gif/lzw_compressor.h"
#include "gif/optimized_frame.h"
#include "toolkit/streams.h"

namespace {

constexpr int kNone = -1;

// A colour table for one frame: each of its colour ids as an index (kNone
// where the table lacks the colour), and the transparent index.
struct TableChoice {
    std::vector<int> indexOf;
    int transparentIndex = kNone;
    std::vector<std::uint32_t> localTable;  // empty: the global table
};

// The bytes a local table of `count` entries takes: a power of two, at
// least 2.
std::int64_t tableBytes(std::size_t count) {
    return count == 0 ? 0 : 3 * std::int64_t(std::bit_ceil(std::max<std::size_t>(count, 2)));
}

int codeSizeFor(int largestIndex) { return std::max(2, int(std::bit_width(unsigned(largestIndex)))); }

// A transparent index only has to differ from the colours the frame
// changes: unchanged pixels show the same whether their index stands for
// their colour or for transparency. So it is the first index the changed
// colours leave free (within the table's power of two).
int freeIndex(const std::vector<bool>& used, std::size_t tableSize) {
    const std::size_t size = std::bit_ceil(std::max<std::size_t>(tableSize, 2));
    for (std::size_t i = 0; i < size; ++i) {
        if (!used[i]) return int(i);
    }
    return kNone;
}

std::optional<TableChoice> globalChoice(const TOptimizedFrame& frame, const TGlobalTable& global,
                                        const TColourIndexMap& globalIndex) {
    TableChoice choice;
    choice.indexOf.resize(frame.colours.size(), kNone);
    std::vector<bool> used(256, false);
    bool missing = false;
    for (std::size_t id = 0; id < frame.colours.size(); ++id) {
        const std::uint32_t at = globalIndex.find(frame.colours[id]);
        const bool required = int(id) < frame.requiredColours;
        if (at == TColourIndexMap::kMissing && required) return std::nullopt;
        if (at == TColourIndexMap::kMissing) {
            missing = true;
            continue;
        }
        choice.indexOf[id] = int(at);
        if (required) used[at] = true;
    }
    choice.transparentIndex = freeIndex(used, global.colours.size());
    const bool needsTransparent = missing || frame.hasClear || frame.declaresTransparency;
    if (needsTransparent && choice.transparentIndex == kNone) return std::nullopt;
    return choice;
}

// Its changed colours, the transparent entry, then its unchanged colours
// while they fit.
TableChoice localChoice(const TOptimizedFrame& frame) {
    TableChoice choice;
    choice.indexOf.resize(frame.colours.size(), kNone);
    const auto add = [&](std::size_t id) {
        choice.indexOf[id] = int(choice.localTable.size());
        choice.localTable.push_back(frame.colours[id]);
    };
    for (std::size_t id = 0; id < std::size_t(frame.requiredColours); ++id) add(id);
    const bool transparent = frame.hasClear || frame.declaresTransparency || frame.unchangedCount > 0;
    if (transparent && choice.localTable.size() < 256) {
        choice.transparentIndex = int(choice.localTable.size());
        choice.localTable.push_back(0);
    }
    for (std::size_t id = std::size_t(frame.requiredColours); id < frame.colours.size(); ++id) {
        if (choice.localTable.size() < 256) add(id);
    }
    return choice;
}

// The largest index the frame needs when its unchanged pixels are
// transparent.
int largestIndex(const TOptimizedFrame& frame, const TableChoice& table) {
    int largest = table.transparentIndex;
    for (int id = 0; id < frame.requiredColours; ++id) largest = std::max(largest, table.indexOf[std::size_t(id)]);
    return largest;
}

enum class Unchanged { Coloured, Transparent, Either };

// One coding of the frame, its unchanged pixels in their colours (or
// transparent where the table lacks them), transparent, or free to be
// either. Null when the frame cannot be coded so.
std::optional<TFrameCoding> code(const TOptimizedFrame& frame, const TableChoice& table, Unchanged unchanged) {
    const std::size_t count = frame.idCount();
    const bool either = unchanged == Unchanged::Either;
    // Kept by each thread from one coding to the next, so that their pages
    // are touched once; a very large frame's are let go after it.
    thread_local std::vector<std::uint8_t> indexBuffer, alternativeBuffer;
    std::uint8_t* const indices = keptBuffer(indexBuffer, count);
    std::uint8_t* const alternatives = keptBuffer(alternativeBuffer, either ? count : 0);
    const int transparent = table.transparentIndex;
    bool usesTransparent = frame.declaresTransparency;
    int largest = 0;
    // Free to be either, an unchanged pixel keeps its colour only where
    // that fits the code size the changed ones need: a bit less on every
    // code is worth more than the choice.
    const int widest = either ? (1 << codeSizeFor(largestIndex(frame, table))) - 1 : 255;
    const std::uint64_t* const unchangedPixels = frame.unchanged.empty() ? nullptr : frame.unchanged.data();
    const bool codable = frame.withIds([&](const auto* ids, auto clear) {
        for (std::size_t i = 0; i < count; ++i) {
            const bool free = unchangedPixels && isMarked(unchangedPixels, i);
            int index = ids[i] == clear ? kNone : table.indexOf[ids[i]];
            if (free && (unchanged == Unchanged::Transparent || index > widest)) index = kNone;
            if (index == kNone) {
                if (transparent == kNone) return false;
                index = transparent;
                usesTransparent = true;
            }
            indices[i] = std::uint8_t(index);
            largest = std::max(largest, index);
            if (!either) continue;
            alternatives[i] = std::uint8_t(free ? transparent : index);
            if (free) largest = std::max(largest, transparent);
        }
        return true;
    });
    if (!codable) return std::nullopt;
    usesTransparent |= either;
    TMemoryStream out;
    {
        TZVQ_LZWCompressor coder(&out, codeSizeFor(largest));
        coder.setDeferredClear(true);
        if (either) {
            coder.writeEitherIndices(indices, alternatives, int(count));
        } else {
            coder.writeIndices(indices, int(count));
        }
        coder.Finish();
    }
    TFrameCoding coded;
    // Kept until the frame is written: without the room the stream grew.
    coded.data = out.bytes();
    coded.data.squeeze();
    coded.transparentIndex = usesTransparent ? transparent : kNone;
    coded.localTable = table.localTable;
    coded.cost = coded.data.size() + tableBytes(table.localTable.size());
    return coded;
}

// A table of the frame's own pays for its bytes only through a smaller code
// size, which saves at most that many bits on each code; the frame's codes
// are at least a bit wider than the shared table's code size.
bool ownTableMayPay(std::int64_t sharedBytes, int sharedCodeSize, int ownCodeSize, std::int64_t ownTableBytes) {
    if (ownCodeSize >= sharedCodeSize) return false;
    const std::int64_t codes = sharedBytes * 8 / (sharedCodeSize + 1);
    return ownTableBytes < codes * (sharedCodeSize - ownCodeSize) / 8;
}

constexpr std::size_t kCodedEveryWay = 8192;  // pixels of the frames coded every way

// Without a transparent index, unchanged pixels keep their colours. Small
// frames are coded every way. In large ones, the opaque coding has never
// won, nor has the all-transparent one beaten the coding free to take
// either (see unchangedMayTurnTransparent).
std::vector<Unchanged> waysToTry(const TOptimizedFrame& frame, const TableChoice& table) {
    if (!unchangedMayTurnTransparent(frame) || table.transparentIndex == kNone) return {Unchanged::Coloured};
    if (frame.idCount() <= kCodedEveryWay) return {Unchanged::Coloured, Unchanged::Transparent, Unchanged::Either};
    return {Unchanged::Either};
}

// The smallest of the codings with the table, the first of equals; kept in
// `best` where it is smaller than that.
void codeWith(const TOptimizedFrame& frame, const TableChoice& table, std::optional<TFrameCoding>& best) {
    for (Unchanged unchanged : waysToTry(frame, table)) {
        std::optional<TFrameCoding> coded = code(frame, table, unchanged);
        if (coded && (!best || coded->cost < best->cost)) best = std::move(coded);
    }
}

}  // namespace

// A frame that draws 256 colours has no index left for transparency in
// any table. In large frames, unchanged pixels are worth a transparent
// index only where they are most of the frame: on terminals, sprites and
// pans they have never won below half of it.
bool unchangedMayTurnTransparent(const TOptimizedFrame& frame) {
    const std::size_t pixels = frame.idCount();
    return frame.unchangedCount > 0 && frame.requiredColours < 256 &&
           (pixels <= kCodedEveryWay || frame.unchangedCount * 2 >= pixels);
}

void codeWithOwnTable(TOptimizedFrame& frame) { codeWith(frame, localChoice(frame), frame.ownCoding); }

void codeFrame(TOptimizedFrame& frame, const TGlobalTable& global) {
    TColourIndexMap globalIndex;
    for (std::size_t i = 0; i < global.colours.size(); ++i) globalIndex.insert(global.colours[i], std::uint32_t(i));
    const std::optional<TableChoice> shared = globalChoice(frame, global, globalIndex);
    const TableChoice own = localChoice(frame);
    std::optional<TFrameCoding> best;
    if (shared) codeWith(frame, *shared, best);
    if (!best || ownTableMayPay(best->cost, codeSizeFor(largestIndex(frame, *shared)),
                                codeSizeFor(largestIndex(frame, own)), tableBytes(own.localTable.size()))) {
        // Only a smaller coding replaces the shared table's, as when coded
        // one after the other.
        if (!frame.ownCoding) codeWith(frame, own, frame.ownCoding);
        if (frame.ownCoding && (!best || frame.ownCoding->cost < best->cost)) best = std::move(frame.ownCoding);
    }
    if (!best) throw EGIFFrameColours();
    frame.coded = std::move(*best);
    releaseBuffer(frame.ids);
    releaseBuffer(frame.narrowIds);
    releaseBuffer(frame.unchanged);
    frame.ownCoding.reset();
}
