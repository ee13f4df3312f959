#pragma once

#include <memory>

class TDeviceIndependentBitmap;
class TLogicalPalette;

/// @file
/// The high-quality palette of the GIF encoder and the mapping of pixels onto it.

/// A palette of at most `maximumColours` for a true-colour bitmap, built for
/// fidelity rather than speed: a picture with that many colours or fewer
/// gets exactly its own colours; otherwise median-cut boxes are coloured by
/// the weighted mean of their pixels and refined by k-means passes over the
/// colour histogram. The palette is the caller's; it is exact (GetIsExact)
/// when it holds every colour of the picture.
///
/// With @p closeEnoughError above 0, a picture of more colours gets only as
/// many as bring the pixels within that mean squared RGB distance of their
/// colours (within four times that at 7, 15, 31, 63 or 127 colours, which
/// leave a GIF colour table an index for transparency): fewer colours make
/// smaller GIF images where the eye tells no difference.
std::unique_ptr<TLogicalPalette> refinedPalette(TDeviceIndependentBitmap* dib, int maximumColours,
                                                double closeEnoughError = 0);

/// The bitmap as 8-bit indices into `palette`, which must hold every colour
/// of the bitmap; its colour table is the palette. A new bitmap, the caller's.
std::unique_ptr<TDeviceIndependentBitmap> indexedExactly(TDeviceIndependentBitmap* dib, TLogicalPalette* palette);

/// The bitmap as 8-bit indices into a palette of any colours, each pixel
/// taking the entry nearest by plain RGB distance (that PSNR measures) to
/// the centre of its cell of 4 x 4 x 4 values, with Floyd-Steinberg
/// dithering when `dither` is set; its colour table is the palette. A new
/// bitmap, the caller's.
std::unique_ptr<TDeviceIndependentBitmap> indexedFaithfully(TDeviceIndependentBitmap* dib, const TLogicalPalette* palette,
                                                            bool dither);

/// The entries of a palette nearest to the cells indexedFaithfully maps
/// colours by, found as cells are met and kept from one bitmap to the next.
/// For one thread at a time.
class TNearestEntries;
/// An empty store of nearest entries for `palette`, which must outlive it.
std::shared_ptr<TNearestEntries> nearestEntriesOf(const TLogicalPalette* palette);
/// indexedFaithfully with the nearest entries of `palette` found so far,
/// as many bitmaps mapped onto one palette take them.
std::unique_ptr<TDeviceIndependentBitmap> indexedFaithfully(TDeviceIndependentBitmap* dib, const TLogicalPalette* palette,
                                                            bool dither, TNearestEntries& nearest);
