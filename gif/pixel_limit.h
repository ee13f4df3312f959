#pragma once

#include <cstdint>

/// @file
/// The limits every GIF reader of the library holds a file's sizes to.
///
/// A GIF declares its sizes before any of its pixels, so a file of a few
/// bytes can ask for gigabytes. Every reader of the library checks what a
/// file's sizes call for against a limit before it allocates, and an image
/// against what its own data can possibly hold.
///
/// The default limit is 2^26 pixels, about 67 million (8192 x 8192). Qt's
/// readers refuse images over 128 MB, which is 32 million pixels of 32-bit
/// colour; Pillow warns above 89 million pixels and refuses above 179
/// million. The decoder's bitmaps take one byte a pixel or less, so an
/// image at the limit costs 64 MiB, and a 32-bit screen of that size 256 MiB:
/// a photograph of 50 million pixels still reads, a declaration of 4 billion
/// does not.

/// The decoder's pixel limit until TZVQ_CustomGifDecompressor::setPixelLimit
/// changes it: 2^26 pixels.
constexpr std::int64_t kDefaultPixelLimit = std::int64_t(1) << 26;

/// The frames an animation holds at once may take this many times the limit
/// together (256 MiB of 8-bit frames at the default).
constexpr std::int64_t kFramesPerPixelLimit = 4;

/// Raises EGIFError "Image of %1 x %2 pixels is over the limit of %3 pixels"
/// (width, height, `limit`) when width x height exceeds `limit`.
void checkPixelLimit(std::int64_t width, std::int64_t height, std::int64_t limit);

/// Raises EGIFError "Frames of %1 pixels in all are over the limit of %2
/// pixels" (`pixels`, kFramesPerPixelLimit x `limit`) when `pixels` exceeds
/// kFramesPerPixelLimit x `limit`.
void checkFramesLimit(std::int64_t pixels, std::int64_t limit);

/// An image of up to this many pixels costs little whatever its data holds:
/// a file cut short in it fails where its data ends, as it always did.
constexpr std::int64_t kPixelsWhateverTheData = std::int64_t(1) << 20;

/// Raises EGIFError "Image data too short for an image of %1 x %2 pixels"
/// (`width`, `rows`) when `rows` full rows of `width` pixels, more than
/// kPixelsWhateverTheData, cannot be coded in `dataBytes` bytes of LZW data
/// (TZVQ_LZWCommon::maxPixelsIn; a negative count: unknown, nothing checked).
void checkCodedSize(std::int64_t width, std::int64_t rows, std::int64_t dataBytes);
/// Whether checkCodedSize lets the image pass.
bool codedSizeCanHold(std::int64_t width, std::int64_t rows, std::int64_t dataBytes);
