#pragma once

#include <memory>
#include <vector>

#include "imaging/logical_palette.h"

class TQuantizedPalette;

/// @file
/// The median-cut quantizer: a palette chosen for an image.

/// Ends the splitting of colour boxes when no box can be split any more.
/// The quantizer catches it; its message is empty.
class ESplitProblem : public Exception {
public:
    /// The error, with an empty message.
    ESplitProblem() : Exception(QString()) {}
};

/// Bounds of a box in histogram cells (red and blue 0 ... 31, green 0 ... 63),
/// inclusive.
struct TColourBound {
    ///@{
    /// The first and last cell on each axis.
    int redMin, redMax, greenMin, greenMax, blueMin, blueMax;
    ///@}
};

/// A box of the colour grid holding part of an image's colours.
class TColourBox {
public:
    /// Shrinks to the colours present; EQuantError "Unable to find Colour in
    /// Red Plane" (or Green, or Blue) when the box has none. It borrows
    /// @p owner, whose histogram it reads.
    TColourBox(TQuantizedPalette* owner, const TColourBound& bound);

    /// Narrows the bounds to the planes that hold colours and recomputes the
    /// extents, volume and colour count (EQuantError as the constructor).
    void ShrinkToFit();
    /// Halves the box across its widest weighted axis; returns the lower half
    /// (a new box, the caller's) and keeps the upper one.
    std::unique_ptr<TColourBox> Split();
    /// The mean of the box's cells (0x00RRGGBB: blue in the low byte).
    std::uint32_t GetMedianColour();
    /// Maps a single-colour box's cell straight to its entry in the cache.
    void SetColourIndex(std::uint16_t index);

    /// The box's bounds.
    const TColourBound& GetBound() const { return bound_; }
    /// The squared weighted extent ((2 dR)^2 + (3 dG)^2 + dB^2, in 8-bit units).
    int GetVolume() const { return volume_; }
    /// The cells of the box that hold colours.
    int GetColourCount() const { return colourCount_; }
    /// The colour GetMedianColour last gave.
    TRGBQuad GetColour() const { return colour_; }

private:
    TColourBound bound_;
    int volume_ = 0;
    int colourCount_ = 0;
    TQuantizedPalette* owner_;
    TRGBQuad colour_{0, 0, 0, 0};
    int redExtent_ = 0, greenExtent_ = 0, blueExtent_ = 0;
};

/// A palette of at most `maximumColours` entries chosen for an image by
/// median cut over a 5-6-5-bit histogram: boxes with the most colours are
/// split first, then the boxes of the largest weighted extent.
///
/// The palette comes with its cache, each single-colour box's cell preset to
/// its entry; it is exact (GetIsExact) when every box holds one colour.
class TQuantizedPalette : public TLogicalPalette {
public:
    ///@{
    /// EQuantError "Too Many Colours Required" above 256, "Too Few Colours
    /// Required" below 1, and "Unable to find Colour in Red Plane" for a
    /// bitmap without pixels; EOutOfMemory when the histogram or the cache
    /// cannot be had. The source is only read.
    TQuantizedPalette(TDeviceIndependentBitmap* source, int maximumColours);
    TQuantizedPalette(const TDeviceIndependentBitmap* source, int maximumColours);
    ///@}
    ~TQuantizedPalette() override;

    /// A true-colour bitmap is quantized anew to up to 256 colours (the old
    /// cache let go); other sources as TLogicalPalette::Assign.
    void Assign(TPersistent* source) override;
    /// The most entries asked for.
    int GetMaximumColours() const { return maximumColours_; }
    /// The histogram counter of a cell; only while a palette is being built.
    std::uint16_t* GetHistCell(int red, int green, int blue) {
        return &histogram_[std::size_t(red << 11 | green << 5 | blue)];
    }

private:
    void BuildPalette(const TDeviceIndependentBitmap* bitmap);
    void BuildHistogram(const TDeviceIndependentBitmap* bitmap);
    void AllocHistogram();
    void FreeHistogram();
    void FreeColourBoxes();
    TColourBox* GetBiggestBoxByPopulation() const;
    TColourBox* GetBiggestBoxByVolume() const;

    std::unique_ptr<std::uint16_t[]> histogram_;
    std::vector<std::unique_ptr<TColourBox>> boxes_;
    int maximumColours_;
};
