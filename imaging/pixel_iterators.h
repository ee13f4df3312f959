#pragma once

#include <QRect>
#include <cstdint>

#include "toolkit/persistent.h"

class TDeviceIndependentBitmap;

/// @file
/// The bases of the pixel readers and writers.

/// Walks the pixels of one bitmap block row by row: a clip rectangle (in
/// image coordinates, row 0 at the top whatever the storage order), rows
/// visited from a start row in steps (interlaced orders), and each row left
/// to right or, when scanning backwards, right to left. An iterator must not
/// outlive a reallocation of its bitmap's block.
///
/// A new iterator clips to the whole image and stands at the start of its
/// top row; over a bitmap without pixels it raises EScanError "Invalid
/// Clipping rectangle".
class TDIBIterator : public TObject {
public:
    /// An iterator over @p dib (borrowed), whose rows hold @p rowBytes bytes
    /// of pixels before their padding.
    TDIBIterator(TDeviceIndependentBitmap* dib, int rowBytes);

    /// Stores what a writer still holds for the current row.
    virtual void Flush() {}
    /// Restarts the current row in the given direction.
    virtual void SetBackwardsScan(bool backwards);
    /// Passes over n pixels of the current row (at most the pixels left).
    virtual void SkipPixels(int n);

    /// The set bits of @p mask.
    static int BitsIn(std::uint32_t mask);
    /// The lowest set bit; 0 for an empty mask.
    static int LoBit(std::uint32_t mask);
    /// The bit-field masks of 16- and 32-bit pixels, and the shifts that
    /// take each channel to and from 8 bits.
    void SetMasks(std::uint32_t red, std::uint32_t green, std::uint32_t blue);

    /// Clamps the rectangle (inclusive corners) to the image, raises
    /// EScanError "Invalid Clipping rectangle" when nothing is left, then
    /// Reset(0, 1).
    void SetClipRect(const QRect& rect);
    /// The clip rectangle, in image coordinates.
    QRect GetClipRect() const;
    /// Visits the clip rows first, first + step, first + 2 step, ... (relative
    /// to the clip's top); first must not be negative, step at least 1
    /// (else EScanError "Invalid scan order").
    void Reset(int first, int step);
    /// Flushes the row and moves to the next one; false after the last.
    bool NextRow();

    ///@{
    /// The size of the clip rectangle.
    int GetWidth() const { return clipRight_ - clipLeft_ + 1; }
    int GetHeight() const { return clipBottom_ - clipTop_ + 1; }
    ///@}
    /// Every row has been visited; no pixel is left to read or write.
    bool EndOfScan() const { return endOfScan_; }
    /// The current row goes right to left.
    bool GetBackwards() const { return backwards_; }
    /// The pixels of the current row not yet read, written or skipped.
    int pixelsLeft() const { return pixelsLeft_; }
    ///@{
    /// Byte-per-pixel formats, while pixels are left: the first byte of the
    /// next pixel, and the distance from one pixel to the next in the
    /// direction of travel. Loops over whole rows use them and SkipPixels
    /// afterwards instead of a virtual call per pixel.
    std::uint8_t* nextPixelBytes() const { return backwards_ ? cur_ - pixelBytes_ : cur_; }
    int pixelStep() const { return backwards_ ? -pixelBytes_ : pixelBytes_; }
    ///@}

protected:
    /// The first byte of an image row (0 at the top) in the block.
    std::uint8_t* rowAt(std::int64_t imageRow) const;

    std::uint8_t* rowPtr_ = nullptr;  ///< the current row's first byte
    std::int64_t rowStep_ = 0;  ///< bytes between visited rows
    int rowBytes_;              ///< bytes of a row's pixels, padding left out
    std::uint8_t* bits_;        ///< the block's first row, as stored
    int height_;                ///< the image's rows
    int rowsLeft_ = 0;          ///< rows still to visit, the current one included
    bool backwards_ = false;    ///< the current row goes right to left
    int width_;                 ///< the image's columns
    ///@{
    /// SetMasks' shifts and masks.
    int redShift_ = 0, greenShift_ = 0, blueShift_ = 0;
    std::uint32_t redMask_ = 0, greenMask_ = 0, blueMask_ = 0;
    ///@}
    bool endOfScan_ = true;  ///< as EndOfScan
    bool topDown_ = false;   ///< the block stores the top row first
    ///@{
    /// The clip rectangle's inclusive edges, in image coordinates.
    int clipLeft_ = 0, clipTop_ = 0, clipRight_ = -1, clipBottom_ = -1;
    ///@}
    std::uint8_t* cur_ = nullptr;  ///< byte-per-pixel formats: the next byte to use
    int col_ = 0;                  ///< packed formats: the column boundary of the position
    int pixelsLeft_ = 0;           ///< as pixelsLeft

private:
    int pixelBytes_;  // 0 for the packed formats
    std::int64_t stride_;
    std::int64_t imageRow_ = 0;
    int rowStepRows_ = 1;
};

/// Reads colours from a bitmap; TDeviceIndependentBitmap::GetReader makes
/// the one for its format.
class TDIBReader : public TDIBIterator {
public:
    /// An iterator over @p dib (borrowed), @p rowBytes bytes of pixels a row.
    using TDIBIterator::TDIBIterator;
    /// The next pixel of the row; false, outputs untouched, at the row's end.
    virtual bool GetNextPixel(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) = 0;
};

/// Writes colours into a bitmap; TDeviceIndependentBitmap::GetWriter makes
/// the one for its format.
class TDIBWriter : public TDIBIterator {
public:
    /// An iterator over @p dib (borrowed), @p rowBytes bytes of pixels a row.
    using TDIBIterator::TDIBIterator;
    /// Every pixel of the clip rectangle, from Reset(0, 1) on.
    virtual void FillColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
    /// False, nothing written, when the row is full.
    virtual bool SetNextPixel(std::uint8_t red, std::uint8_t green, std::uint8_t blue) = 0;
    /// Copies the reader's current row into this writer's current row;
    /// EScanError "Cannot Set a Row from a DIB with a different number of
    /// coloums" (sic) when their clip widths differ.
    virtual void SetRowFrom(TDIBReader* reader);
    ///@{
    /// Copies every row of `source`, calling `progress` (sender: this writer)
    /// after each; the writer's current start row and step are used.
    /// EScanError "Cannot copy DIBs with different numbers of rows" when the
    /// source's height is not the clip's, and SetRowFrom's error when its
    /// width is not.
    void CopyDIB(TDeviceIndependentBitmap* source, const TNotifyEvent& progress = {});
    void CopyDIB(const TDeviceIndependentBitmap* source, const TNotifyEvent& progress = {});
    ///@}
};
