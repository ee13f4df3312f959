#include "gif_stream_scan.h"

#include <cstdint>

namespace {

// Reads bytes of a GIF with bounds checks; a read past the end stops the walk.
struct Cursor {
    const QByteArray& bytes;
    qsizetype at = 0;
    bool ok() const { return at <= bytes.size(); }
    int byte() { return at < bytes.size() ? std::uint8_t(bytes[at++]) : (at = bytes.size() + 1, 0); }
    void skip(qsizetype count) { at += count; }
    void subBlocks() {
        for (int count = byte(); count > 0 && ok(); count = byte()) skip(count);
    }
};

int tableBytes(int packed) { return packed & 0x80 ? 3 << ((packed & 7) + 1) : 0; }

}  // namespace

GifStreamOutline outlineGif(const QByteArray& bytes) {
    GifStreamOutline outline;
    Cursor in{bytes, 10};
    const int packed = in.byte();
    in.skip(2 + tableBytes(packed));
    while (in.ok()) {
        const int introducer = in.byte();
        if (!in.ok() || introducer == 0x3B) break;
        if (introducer == 0x2C) {
            in.skip(8);
            in.skip(tableBytes(in.byte()) + 1);  // the table and the code size
            in.subBlocks();
            ++outline.images;
        } else if (introducer == 0x21) {
            const int label = in.byte();
            in.subBlocks();
            if (label == 0x01) ++outline.images;
        } else {
            break;
        }
    }
    return outline;
}
