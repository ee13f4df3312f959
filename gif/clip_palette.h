#pragma once

#include <QImage>
#include <QPoint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "gif/gif_encoder.h"

class TDeviceIndependentBitmap;

/// @file
/// True-colour clips mapped onto palettes for the frame optimiser.

/// How the true-colour pictures of an animation get their colours.
struct TGIFClipOptions {
    /// One palette for the whole clip, from the first picture and the
    /// pixels that change after it; else a palette for each picture.
    bool sharedPalette = true;
    /// Floyd-Steinberg dithering, only where a picture changes.
    bool dither = true;
    /// How palettes are built (median cut, or refined).
    TGIFPaletteQuality quality = TGIFPaletteQuality::Standard;
    /// Pixels of this colour are transparent: they show what is under them.
    std::optional<TColor> transparent;
    /// Pictures after the first may be cut to where they change, for frames
    /// drawn over those before them (left in place, not disposed of).
    bool cropped = false;
};

/// Pictures of one clip as 8-bit pictures on their palettes, and each
/// one's transparent index (-1: none), the entry after its colours.
struct TGIFIndexedClip {
    /// The 8-bit pictures, in the order given.
    std::vector<std::unique_ptr<TDeviceIndependentBitmap>> pictures;
    /// Each picture's transparent index, -1 for none.
    std::vector<int> transparentIndices;
    /// Where each picture goes on the screen: (0, 0) but for cropped ones.
    std::vector<QPoint> origins;
};

/// Maps true-colour pictures of one size (any format the bitmap reads) onto
/// palettes of at most 256 colours. A pixel whose colour is the same as in
/// the picture before keeps its index, so that still parts do not shimmer
/// from frame to frame and the frame optimiser finds them unchanged; only
/// the rectangle that changes is dithered. Pictures are mapped on several
/// threads with the same result as on one; they are only read.
TGIFIndexedClip indexedClip(const std::vector<const TDeviceIndependentBitmap*>& pictures,
                            const TGIFClipOptions& options);
/// The same for pictures read as they are needed: @p readPicture gives
/// picture i of @p count as an image of any format (its alpha is left out:
/// see-through pixels are to be flattened first), called on several threads
/// at once, and each picture is let go once its pixels are taken, so that
/// the clip is not held twice over. A fault it raises propagates: that of
/// the first picture in order that failed.
TGIFIndexedClip indexedClip(int count, const std::function<QImage(int)>& readPicture, const TGIFClipOptions& options);
