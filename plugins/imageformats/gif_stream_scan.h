#pragma once

#include <QByteArray>

// What a walk over a GIF's blocks tells without decoding any pixel.
struct GifStreamOutline {
    int images = 0;  // image and plain text blocks
};

GifStreamOutline outlineGif(const QByteArray& bytes);
