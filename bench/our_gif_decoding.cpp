#include "bench/our_gif_decoding.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "gif/Zvqgif.h"
#include "imaging/device_independent_bitmap.h"
#include "imaging/dib_layout.h"
#include "toolkit/streams.h"

namespace {

// The colours of a bitmap, and its pixel pairs for 4-bit rows, kept from
// frame to frame while the colour table stays the same.
struct FrameColours {
    RgbaTableCache cache;
    std::array<std::uint64_t, 256> pairs;
    // For each byte of two pixels, all ones over the pixels that are drawn
    // (not of the transparent index `maskedIndex`).
    std::array<std::uint64_t, 256> opaque;
    int maskedIndex = -2;

    const std::array<std::uint64_t, 256>& opaqueWith(int transparentIndex) {
        if (transparentIndex == maskedIndex) return opaque;
        maskedIndex = transparentIndex;
        const std::uint32_t ones = 0xFFFFFFFFu;
        for (int byte = 0; byte < 256; ++byte)
            opaque[byte] = rgbaPair((byte >> 4) == transparentIndex ? 0 : ones, (byte & 15) == transparentIndex ? 0 : ones);
        return opaque;
    }

    const RgbaTable& of(const TDeviceIndependentBitmap& dib) {
        const TRGBQuad* colours = dib.GetColourTable();
        const int count = colours ? std::min(dib.GetNumColours(), 256) : 0;
        if (!cache.changed(colours, std::size_t(count) * sizeof(TRGBQuad))) return cache.table();
        RgbaTable& table = cache.table();
        table.fill(rgbaWord(0, 0, 0));
        for (int i = 0; i < count; ++i)
            table[i] = rgbaWord(colours[i].rgbRed, colours[i].rgbGreen, colours[i].rgbBlue);
        for (int byte = 0; byte < 256; ++byte) pairs[byte] = rgbaPair(table[byte >> 4], table[byte & 15]);
        return table;
    }
};

// One row of a 1- or 4-bit bitmap as a byte per pixel, leftmost pixel in
// the high bits.
void unpackRow(const std::uint8_t* packed, int bits, int width, std::uint8_t* indices) {
    if (bits == 4) {
        for (int x = 0; x + 1 < width; x += 2, ++packed) {
            indices[x] = std::uint8_t(*packed >> 4);
            indices[x + 1] = std::uint8_t(*packed & 15);
        }
        if (width & 1) indices[width - 1] = std::uint8_t(*packed >> 4);
        return;
    }
    for (int x = 0; x < width; ++x) indices[x] = std::uint8_t((packed[x / 8] >> (7 - x % 8)) & 1);
}

// A 4-bit bitmap wholly inside the canvas: each byte's two pixels are
// looked up and stored at once.
void pasteNibbles(const std::uint8_t* topRow, int width, int height, std::int64_t stride,
                  const RgbaTable& table, const std::array<std::uint64_t, 256>& pairs, int left, int top,
                  RgbaCanvas& canvas) {
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* packed = topRow + y * stride;
        std::uint8_t* out = canvas.row(top + y) + 4 * left;
        for (int x = 0; x + 1 < width; x += 2, ++packed, out += 8) std::memcpy(out, &pairs[*packed], 8);
        if (width & 1) std::memcpy(out, &table[*packed >> 4], 4);
    }
}

// The same with a transparent index: its pixels leave the canvas as it is,
// two pixels blended at a time under the byte's mask.
void pasteNibblesOver(const std::uint8_t* topRow, int width, int height, std::int64_t stride,
                      const RgbaTable& table, FrameColours& colours, int left, int top, int transparentIndex,
                      RgbaCanvas& canvas) {
    const std::array<std::uint64_t, 256>& opaque = colours.opaqueWith(transparentIndex);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* packed = topRow + y * stride;
        std::uint8_t* out = canvas.row(top + y) + 4 * left;
        for (int x = 0; x + 1 < width; x += 2, ++packed, out += 8) {
            std::uint64_t under;
            std::memcpy(&under, out, 8);
            const std::uint64_t mask = opaque[*packed];
            const std::uint64_t blended = (colours.pairs[*packed] & mask) | (under & ~mask);
            std::memcpy(out, &blended, 8);
        }
        if ((width & 1) && (*packed >> 4) != transparentIndex) std::memcpy(out, &table[*packed >> 4], 4);
    }
}

void pasteBitmap(const TDeviceIndependentBitmap& dib, int left, int top, int transparentIndex,
                 FrameColours& colours, RgbaCanvas& canvas) {
    const int width = dib.GetWidth(), height = dib.GetHeight();
    const int bits = bitsPerPixel(dib.GetDIBType());
    const RgbaTable& table = colours.of(dib);
    // Bitmaps are stored bottom row first unless their height is negative.
    const std::int64_t stride = dibStride(bits, width) * (dib.isTopDown() ? 1 : -1);
    const std::uint8_t* topRow = dib.GetBits() + (dib.isTopDown() ? 0 : -stride * (height - 1));
    if (bits == 8) {
        pasteIndicesOver(topRow, width, height, stride, table, left, top, transparentIndex, canvas);
        return;
    }
    const bool inside = left >= 0 && top >= 0 && left + width <= canvas.width && top + height <= canvas.height;
    if (bits == 4 && inside && transparentIndex < 0) {
        pasteNibbles(topRow, width, height, stride, table, colours.pairs, left, top, canvas);
        return;
    }
    if (bits == 4 && inside) {
        pasteNibblesOver(topRow, width, height, stride, table, colours, left, top, transparentIndex, canvas);
        return;
    }
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        unpackRow(topRow + y * stride, bits, width, row.data());
        pasteIndicesOver(row.data(), width, 1, 0, table, left, top + y, transparentIndex, canvas);
    }
}

}  // namespace

int decodeWithOurs(TMemoryStream& stream, RgbaCanvas& canvas, const FrameDone& done) {
    stream.SetPosition(0);
    TZVQ_GIFDecompressor decoder;
    TGIFGraphicControlInfo info;
    CanvasDisposal disposal;
    disposal.start(canvas);
    FrameColours colours;
    int frames = 0;
    while (std::unique_ptr<TZVQExtGraphic> graphic =
               decoder.ReadGIFGraphicFromStream(&stream, info)) {
        const auto* dib = dynamic_cast<const TDeviceIndependentBitmap*>(graphic.get());
        if (!dib) continue;  // plain text: the corpus has none
        disposal.before(canvas, {info.Origin.x(), info.Origin.y(), dib->GetWidth(), std::abs(dib->GetHeight()),
                                 int(info.DisposalMethod)});
        pasteBitmap(*dib, info.Origin.x(), info.Origin.y(), decoder.lastTransparentIndex(), colours, canvas);
        ++frames;
        if (done) done(canvas);
    }
    return frames;
}

long long readIndicesWithOurs(TMemoryStream& stream, const GifFile& file,
                              std::vector<std::uint8_t>& indices) {
    long long total = 0;
    for (const GifFrameData& frame : file.frames) {
        const std::size_t count = std::size_t(frame.width) * std::size_t(frame.height);
        if (indices.size() < count) indices.resize(count);
        stream.SetPosition(frame.offset);
        TZVQ_LZWDecompressor decoder(&stream);
        total += decoder.readIndices(indices.data(), int(count));
    }
    return total;
}
