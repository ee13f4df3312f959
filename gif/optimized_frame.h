#pragma once

// What the frame optimiser keeps of each frame between finding its
// rectangle and writing it, and the steps that turn it into image data.
#include <QByteArray>
#include <QRect>
#include <cstdint>
#include <vector>

#include "gif/gif_types.h"

struct TOptimizedFrame {
    static constexpr std::uint16_t kClear = 0xFFFF;  // a pixel that must be transparent

    QRect rect;
    TGIFGraphicControlInfo info;
    std::vector<QByteArray> comments;
    // Set for a background disposal: the frame declares a transparent index
    // even if none of its pixels needs it.
    bool declaresTransparency = false;

    // The rectangle's pixels, rows top-down: a colour (0xFFRRGGBB), or 0
    // where the screen is to be transparent; and 1 where the pixel already
    // shows, so that it may be coded transparent as well.
    std::vector<std::uint32_t> pixels;
    std::vector<std::uint8_t> unchanged;

    // Its colours: those it must draw, then those only its unchanged pixels
    // have; each pixel as its colour's place in `colours`, or kClear.
    std::vector<std::uint32_t> colours;
    int requiredColours = 0;
    std::vector<std::uint16_t> ids;
    bool hasUnchanged = false;
    std::size_t unchangedCount = 0;
    bool hasClear = false;

    // As coded: its own colour table (empty: the global one), the
    // transparent index (-1: none) and the LZW data with its code size
    // byte, sub-blocks and terminator.
    std::vector<std::uint32_t> localTable;
    int transparentIndex = -1;
    QByteArray data;
};

// The global colour table, entries 0xFFRRGGBB. It has no transparent
// entry: each frame takes as its transparent index one that it does not
// draw with.
struct TGlobalTable {
    std::vector<std::uint32_t> colours;
};

// Lists the frame's colours and ids, and frees its pixels. A frame whose
// changed pixels have more than 256 colours raises EGIFError.
void collectColours(TOptimizedFrame& frame);
// The table the frames share: every colour when all fit, else those most
// frames use; ordered by how many frames use them, so that frames of few
// colours get small indices and a small code size.
TGlobalTable chooseGlobalTable(const std::vector<TOptimizedFrame*>& frames);
// Codes the frame with the global table and with a table of its own, each
// with its unchanged pixels in their colours and free to be transparent,
// and keeps the smallest.
void codeFrame(TOptimizedFrame& frame, const TGlobalTable& global);
