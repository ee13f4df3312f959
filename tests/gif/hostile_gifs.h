#pragma once

#include <QByteArray>
#include <algorithm>
#include <cstdint>

#include "gif_bytes.h"

// Files a stranger may send: a few bytes that declare sizes no data backs,
// and, beside them, a large picture whose data really holds it.

// A 65535 x 65535 screen with one 1 x 1 image: 35 bytes.
inline QByteArray hugeScreenGif() {
    return gifHeader(65535, 65535, 1) + imageDescriptor(0, 0, 1, 1) + literalImageData({0}, 2) + ";";
}

// One image of `width` x `height` on a 1 x 1 screen, with three bytes of
// data: a clear code and little else.
inline QByteArray shortDataGif(int width, int height) {
    return gifHeader(1, 1, 1) + imageDescriptor(0, 0, width, height) + QByteArray("\x02\x03\x04\x00\x00\x00", 6) + ";";
}

// `frames` images of 1 x 1 on a `side` x `side` screen: 3,020 bytes for 200
// frames.
inline QByteArray manyFramesOnScreenGif(int side, int frames) {
    QByteArray out = gifHeader(side, side, 1);
    for (int i = 0; i < frames; ++i) out += imageDescriptor(i % side, 0, 1, 1) + literalImageData({1}, 2);
    return out + ";";
}

// A plain text block whose grid is `width` x `height` pixels, cells 8 x 16,
// text "Hi", after one image so that the text is not the only graphic.
inline QByteArray plainTextGif(int width, int height) {
    QByteArray text("\x21\x01\x0C", 3);
    putWord(text, 0);
    putWord(text, 0);
    putWord(text, width);
    putWord(text, height);
    text.append(char(8));
    text.append(char(16));
    text.append(char(1));  // foreground index
    text.append(char(0));  // background index
    text.append(QByteArray("\x02Hi\x00", 4));
    return gifHeader(16, 16, 1) + imageDescriptor(0, 0, 2, 2) + literalImageData({0, 1, 1, 0}, 2) + text + ";";
}

// Index 0 over `pixels` pixels in the fewest bytes the code stream allows:
// each code is the string just being made (one pixel longer than the code
// before it), and once the dictionary is full its longest string again and
// again, with no clear code.
inline QByteArray densestImageData(std::int64_t pixels) {
    CodeWriter codes(2);
    codes.put(codes.clearCode());
    codes.put(0);
    std::int64_t left = pixels - 1;
    // Code c of this chain holds c - 4 pixels (code 6 holds two).
    const auto codeOfLength = [](std::int64_t length) { return length == 1 ? 0 : int(length + 4); };
    int length = 1;
    while (left > 0) {
        const bool growing = codes.nextFree() < 4096;
        const std::int64_t next = growing ? length + 1 : 4091;
        if (next > left) {
            codes.put(codeOfLength(left));
            break;
        }
        codes.put(growing ? codes.nextFree() : codeOfLength(next));
        left -= next;
        length = int(next);
    }
    codes.put(codes.endCode());
    return codes.imageData();
}

// A `side` x `side` picture of one colour, as the densest code stream
// holds it: 6000 x 6000 (36 million pixels) in about 16 kB.
inline QByteArray oneColourPictureGif(int side) {
    return gifHeader(side, side, 1) + imageDescriptor(0, 0, side, side) +
           densestImageData(std::int64_t(side) * side) + ";";
}

// Files other encoders write.

// An animation under a "GIF87a" header whose later frames carry graphic
// control blocks (delays 0, 0, 200, 270, 90 and 120 ms), as a writer does
// that looks at the first frame alone to choose the version.
inline QByteArray gif87aWithControlBlocks() {
    QByteArray out = gifHeader(4, 4, 2, "GIF87a");
    const int delays[] = {0, 0, 20, 27, 9, 12};
    for (int i = 0; i < 6; ++i) {
        if (i >= 2) out += graphicControl(1, false, false, delays[i], 0);
        out += imageDescriptor(0, 0, 4, 4) + literalImageData(std::vector<int>(16, i % 4), 2);
    }
    return out + ";";
}

// A transparent image (index 0 see-through) followed by one without a
// graphic control block, whose index 0 pixels are therefore solid.
inline QByteArray transparentThenPlainGif() {
    return gifHeader(2, 1, 2) + graphicControl(1, false, true, 10, 0) + imageDescriptor(0, 0, 2, 1) +
           literalImageData({0, 1}, 2) + imageDescriptor(0, 0, 2, 1) + literalImageData({0, 2}, 2) + ";";
}
