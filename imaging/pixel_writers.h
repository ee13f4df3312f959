#pragma once

#include <memory>

#include "imaging/ditherer_class.h"
#include "imaging/pixel_iterators.h"

/// @file
/// The pixel writers, one for each bitmap format. Each borrows its bitmap
/// and must not outlive it or a reallocation of its block.

/// Writers of the paletted formats: colours become indices of the writer's
/// own palette (a copy of the bitmap's colour table until SetPalette), whole
/// rows go through the writer's ditherer (none until SetDitherer).
class TDIBMappedWriter : public TDIBWriter {
public:
    /// A writer over @p dib with a palette copied from its colour table and
    /// no dithering (TNoDither).
    TDIBMappedWriter(TDeviceIndependentBitmap* dib, int rowBytes);
    ~TDIBMappedWriter() override;

    /// FillIndex with the colour's nearest entry.
    void FillColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) override;
    /// Every pixel of the clip rectangle, from Reset(0, 1) on.
    void FillIndex(std::uint8_t index);
    /// Writes the colour's nearest entry; false, nothing written, when the
    /// row is full.
    bool SetNextPixel(std::uint8_t red, std::uint8_t green, std::uint8_t blue) override;
    /// The reader's current row through the ditherer (the palette's cache
    /// made first); EScanError "Cannot Set a Row from a DIB with a different
    /// number of coloums" (sic) when the clip widths differ.
    void SetRowFrom(TDIBReader* reader) override;
    /// Writes @p index as it is; false, nothing written, when the row is full.
    virtual bool SetNextIndex(std::uint8_t index) = 0;
    /// A run of indices into the current row; returns how many fitted.
    virtual int SetNextIndices(const std::uint8_t* indices, int count);

    /// The class of the writer's ditherer.
    TDithererClass GetDitherer() const { return dithererClass_; }
    /// A new ditherer of that class, sized for the current clip width.
    void SetDitherer(TDithererClass ditherer);
    /// Copies the palette (the bitmap's colour table is left as it is) and
    /// rebuilds the ditherer for it. The palette's cache comes along: a
    /// quantizer's maps each of its single colours to its own entry.
    void SetPalette(TLogicalPalette* palette);
    /// The writer's palette, owned by the writer.
    TLogicalPalette* GetPalette() const { return palette_.get(); }

protected:
    std::unique_ptr<TLogicalPalette> palette_;  ///< the entries colours map to
    std::unique_ptr<TDitherer> ditherer_;       ///< made by dithererClass_
    TDithererClass dithererClass_;              ///< as GetDitherer
};

/// Writes 32-bit pixels through their bit-field masks.
class TDIB32Writer final : public TDIBWriter {
public:
    /// A writer over @p dib, a 32-bit bitmap.
    explicit TDIB32Writer(TDeviceIndependentBitmap* dib);
    /// Writes the colour, each channel cut to its mask; false, nothing
    /// written, when the row is full.
    bool SetNextPixel(std::uint8_t red, std::uint8_t green, std::uint8_t blue) override;
};

/// Writes 24-bit pixels (blue, green, red bytes).
class TDIB24Writer final : public TDIBWriter {
public:
    /// A writer over @p dib, a 24-bit bitmap.
    explicit TDIB24Writer(TDeviceIndependentBitmap* dib);
    /// Writes the colour; false, nothing written, when the row is full.
    bool SetNextPixel(std::uint8_t red, std::uint8_t green, std::uint8_t blue) override;
};

/// Writes 16-bit pixels through their bit-field masks (5-5-5 for plain RGB).
class TDIB16Writer final : public TDIBWriter {
public:
    /// A writer over @p dib, a 16-bit bitmap.
    explicit TDIB16Writer(TDeviceIndependentBitmap* dib);
    /// Writes the colour, each channel cut to its mask; false, nothing
    /// written, when the row is full.
    bool SetNextPixel(std::uint8_t red, std::uint8_t green, std::uint8_t blue) override;
};

/// Writes the indices of 8-bit pixels.
class TDIB8Writer final : public TDIBMappedWriter {
public:
    /// A writer over @p dib, a bitmap of this format.
    explicit TDIB8Writer(TDeviceIndependentBitmap* dib);
    /// Writes @p index; false, nothing written, when the row is full.
    bool SetNextIndex(std::uint8_t index) override;
    /// As TDIBMappedWriter::SetNextIndices, a run copied at once.
    int SetNextIndices(const std::uint8_t* indices, int count) override;
};

/// Writes the indices of 4-bit pixels (the low four bits of each index).
/// The packed writers store each pixel into its byte at once, keeping the
/// byte's other pixels, so that clip edges inside a byte and right-to-left
/// rows need no pending state.
class TDIB4Writer final : public TDIBMappedWriter {
public:
    /// A writer over @p dib, a bitmap of this format.
    explicit TDIB4Writer(TDeviceIndependentBitmap* dib);
    /// Writes @p index; false, nothing written, when the row is full.
    bool SetNextIndex(std::uint8_t index) override;
    /// As TDIBMappedWriter::SetNextIndices, two pixels a byte going forwards.
    int SetNextIndices(const std::uint8_t* indices, int count) override;
};

/// Writes the indices of 1-bit pixels, packed as TDIB4Writer packs its own.
class TDIB1Writer final : public TDIBMappedWriter {
public:
    /// A writer over @p dib, a bitmap of this format.
    explicit TDIB1Writer(TDeviceIndependentBitmap* dib);
    /// Any nonzero index sets the pixel.
    bool SetNextIndex(std::uint8_t index) override;
    /// As TDIBMappedWriter::SetNextIndices, whole bytes at once going forwards.
    int SetNextIndices(const std::uint8_t* indices, int count) override;
};
