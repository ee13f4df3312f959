#pragma once

#include <memory>

#include "imaging/ditherer_class.h"
#include "imaging/pixel_iterators.h"

// Writers of the paletted formats: colours become indices of the writer's
// own palette (a copy of the bitmap's colour table until SetPalette), whole
// rows go through the writer's ditherer.
class TDIBMappedWriter : public TDIBWriter {
public:
    TDIBMappedWriter(TDeviceIndependentBitmap* dib, int rowBytes);
    ~TDIBMappedWriter() override;

    void FillColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) override;
    // Every pixel of the clip rectangle, from Reset(0, 1) on.
    void FillIndex(std::uint8_t index);
    bool SetNextPixel(std::uint8_t red, std::uint8_t green, std::uint8_t blue) override;
    void SetRowFrom(TDIBReader* reader) override;
    virtual bool SetNextIndex(std::uint8_t index) = 0;
    // A run of indices into the current row; returns how many fitted.
    virtual int SetNextIndices(const std::uint8_t* indices, int count);

    TDithererClass GetDitherer() const { return dithererClass_; }
    // A new ditherer of that class, sized for the current clip width.
    void SetDitherer(TDithererClass ditherer);
    // Copies the palette (the bitmap's colour table is left as it is) and
    // rebuilds the ditherer for it.
    void SetPalette(TLogicalPalette* palette);
    TLogicalPalette* GetPalette() const { return palette_.get(); }

protected:
    std::unique_ptr<TLogicalPalette> palette_;
    std::unique_ptr<TDitherer> ditherer_;
    TDithererClass dithererClass_;
};

class TDIB32Writer final : public TDIBWriter {
public:
    explicit TDIB32Writer(TDeviceIndependentBitmap* dib);
    bool SetNextPixel(std::uint8_t red, std::uint8_t green, std::uint8_t blue) override;
};

class TDIB24Writer final : public TDIBWriter {
public:
    explicit TDIB24Writer(TDeviceIndependentBitmap* dib);
    bool SetNextPixel(std::uint8_t red, std::uint8_t green, std::uint8_t blue) override;
};

class TDIB16Writer final : public TDIBWriter {
public:
    explicit TDIB16Writer(TDeviceIndependentBitmap* dib);
    bool SetNextPixel(std::uint8_t red, std::uint8_t green, std::uint8_t blue) override;
};

class TDIB8Writer final : public TDIBMappedWriter {
public:
    explicit TDIB8Writer(TDeviceIndependentBitmap* dib);
    bool SetNextIndex(std::uint8_t index) override;
    int SetNextIndices(const std::uint8_t* indices, int count) override;
};

// The packed writers store each pixel into its byte at once, keeping the
// byte's other pixels, so that clip edges inside a byte and right-to-left
// rows need no pending state.
class TDIB4Writer final : public TDIBMappedWriter {
public:
    explicit TDIB4Writer(TDeviceIndependentBitmap* dib);
    bool SetNextIndex(std::uint8_t index) override;
    int SetNextIndices(const std::uint8_t* indices, int count) override;
};

class TDIB1Writer final : public TDIBMappedWriter {
public:
    explicit TDIB1Writer(TDeviceIndependentBitmap* dib);
    // Any nonzero index sets the pixel.
    bool SetNextIndex(std::uint8_t index) override;
    int SetNextIndices(const std::uint8_t* indices, int count) override;
};
