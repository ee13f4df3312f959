#pragma once

#include <QRect>
#include <memory>

class TBitmap;
class TMetafile;

/// @file
/// Toolkit bitmaps cut out, resized, or played from a metafile. Each hands a
/// new bitmap to the caller; one with a side of 0 is empty.

/// A width x height bitmap showing the source rectangle of `bitmap`,
/// smoothly stretched to fit; it carries the source's palette.
std::unique_ptr<TBitmap> CropBitmap(TBitmap* bitmap, int width, int height, const QRect& source);
/// The whole bitmap stretched to width x height.
std::unique_ptr<TBitmap> ReSizeBitmap(TBitmap* bitmap, int width, int height);
/// The metafile played into a width x height bitmap filled with the canvas
/// brush colour first. A metafile that does not play raises Exception "Unable
/// to render metafile as a bitmap - PlayEnhMetaFile returned %1", %1 its
/// LastError() (MetafileError).
std::unique_ptr<TBitmap> MetaToBitmap(TMetafile* metafile, int width, int height);
