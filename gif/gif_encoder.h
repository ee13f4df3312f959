#pragma once

#include <QByteArray>
#include <memory>

#include "gif/gif_types.h"
#include "imaging/ditherer_class.h"
#include "imaging/graphics_engine.h"
#include "toolkit/colors.h"

class TDeviceIndependentBitmap;
class TLogicalPalette;
class TPlainText;
class TZVQExtGraphic;

// The logical screen's size when it is not to follow the first graphic.
class TGlobalFrame : public TPersistent {
public:
    void Assign(TPersistent* source) override;
    bool UseGlobalFrame = false;
    int Width = 0;
    int Height = 0;
};

// How true-colour pictures get their 256 colours.
enum class TGIFPaletteQuality : std::uint8_t {
    // The median-cut palette: fast, boxes coloured by their cells' corners.
    Standard,
    // Boxes coloured by the weighted mean of their pixels, refined by a few
    // k-means passes, each pixel mapped to the entry nearest by plain RGB
    // distance; pictures of 256 colours or fewer stay exact.
    High
};

// Writes GIF streams: the header when a stream is opened, the screen
// descriptor before the first graphic, then per graphic the comment, the
// graphic control extension and the image or plain text, and the trailer
// when the stream is closed. Pictures of more than 256 colours are reduced
// with the median-cut palette and, where chosen, Floyd-Steinberg dithering.
class TZVQ_CustomGifCompressor : public TZVQGraphicsCompressor {
public:
    // An encoder owned by a top-level window becomes the process-wide
    // default when there is none yet.
    explicit TZVQ_CustomGifCompressor(QObject* owner = nullptr);
    // Writes the trailer of a stream still open.
    ~TZVQ_CustomGifCompressor() override;

    int GetPercentDone() override;
    // A new stream gets its header.
    void OpenImageStream(TStream* stream) override;
    // Writes the trailer; the global palette is forgotten unless retained.
    void CloseImageStream() override;
    TDIBFormat GetInputType() override { return TDIBFormat::dt24bit; }
    void WriteDIBitmap(TDeviceIndependentBitmap* dib) override;

    void WriteGIFGraphicToStream(TStream* stream, TZVQExtGraphic* graphic, const TGIFGraphicControlInfo& info);
    void WriteGIFGraphic(TZVQExtGraphic* graphic, const TGIFGraphicControlInfo& info);
    // An image whose LZW data (code size byte, sub-blocks, terminator) is
    // coded already, as the other graphics are written but for the pixels:
    // `local` is its own colour table (null: the global one), and
    // `transparentIndex` -1 for none. A stream without a screen descriptor
    // gets one first, of the global frame's size.
    void WriteCodedImage(const TGIFGraphicControlInfo& info, int transparentIndex, QSize size,
                         const TLogicalPalette* local, const QByteArray& data);
    // The logical screen descriptor of the global frame's size, with the
    // global palette and the blocks held for after it, unless written.
    void WriteScreen();
    // Extension blocks written before the first graphic are held back and
    // follow the logical screen descriptor, where the format wants them.
    void WriteComment(const QByteArray& text);
    // Identifiers shorter than 8 characters and codes shorter than 3 are
    // padded with spaces; longer ones are cut.
    void WriteApplicationExtension(const TAppID& appId, const TAuthCode& authCode, const void* data, int count);
    // The looping extension; 0 loops for ever.
    void WriteLoopControl(int count);

    void WriteByte(std::uint8_t value);
    void WriteWord(std::uint16_t value);
    void WriteDataBlock(const void* data, int length);

    TGIFType GetGIFType() const { return gifType_; }
    void SetGIFType(TGIFType type);
    bool GetInterlace() const { return interlace_; }
    void SetInterlace(bool value) { interlace_ = value; }
    TLogicalPalette* GetGlobalPalette() const { return globalPalette_.get(); }
    void SetGlobalPalette(TLogicalPalette* palette);
    TGlobalFrame* GetGlobalFrame() const { return globalFrame_.get(); }
    TColor GetBackgroundColor() const { return backgroundColor_; }
    void SetBackgroundColor(TColor colour) { backgroundColor_ = colour; }
    const QByteArray& GetComment() const { return comment_; }
    void SetComment(const QByteArray& text) { comment_ = text; }
    int GetImageXOrigin() const { return imageXOrigin_; }
    void SetImageXOrigin(int x) { imageXOrigin_ = x; }
    int GetImageYOrigin() const { return imageYOrigin_; }
    void SetImageYOrigin(int y) { imageYOrigin_ = y; }
    bool GetRetainGlobalPalette() const { return retainGlobalPalette_; }
    void SetRetainGlobalPalette(bool value) { retainGlobalPalette_ = value; }
    bool GetFSDither() const { return fsDither_; }
    void SetFSDither(bool value) { fsDither_ = value; }
    bool GetGrayscale() const { return grayscale_; }
    void SetGrayscale(bool value) { grayscale_ = value; }
    TGIFPaletteQuality GetPaletteQuality() const { return paletteQuality_; }
    void SetPaletteQuality(TGIFPaletteQuality quality) { paletteQuality_ = quality; }

private:
    void writeHeader();
    void writeExtension(const QByteArray& block);
    static QByteArray dataBlocks(const void* data, int length);
    void WriteLogicalScreenDescriptor(int width, int height, int resolution, std::uint8_t aspect);
    void WriteColourTable(const TLogicalPalette* palette, int entries);
    void WriteGraphicControlExtension(const TGIFGraphicControlInfo& info, bool transparent, int index);
    void WriteImageDescriptor(QPoint origin, int width, int height, const TLogicalPalette* local);
    void WriteDIB(TDeviceIndependentBitmap* dib, const TGIFGraphicControlInfo& info);
    void WritePlainText(TPlainText* text, const TGIFGraphicControlInfo& info);
    void writeLeadingBlocks(const TGIFGraphicControlInfo& info, bool transparent, int transparentIndex);
    void refuseIn87a(const char* blockName) const;
    std::unique_ptr<TLogicalPalette> paletteFor(TDeviceIndependentBitmap* dib);
    void writePixels(TDeviceIndependentBitmap* dib, TLogicalPalette* palette);
    void writeRows(TDeviceIndependentBitmap* dib, TLogicalPalette* palette, TDithererClass ditherer);
    void countRow();

    TGIFType gifType_ = TGIFType::gt89a;
    bool interlace_ = false;
    std::unique_ptr<TLogicalPalette> globalPalette_;
    bool screenDescriptorWritten_ = false;
    QByteArray heldBlocks_;
    std::unique_ptr<TGlobalFrame> globalFrame_;
    TColor backgroundColor_ = clWhite;
    QByteArray comment_;
    int imageXOrigin_ = 0;
    int imageYOrigin_ = 0;
    bool retainGlobalPalette_ = false;
    int rowsToWrite_ = 0;
    int rowsWritten_ = 0;
    bool fsDither_ = true;
    bool grayscale_ = false;
    TGIFPaletteQuality paletteQuality_ = TGIFPaletteQuality::Standard;
};

// The same encoder as it is offered to form designers.
class TZVQ_GIFCompressor : public TZVQ_CustomGifCompressor {
public:
    using TZVQ_CustomGifCompressor::TZVQ_CustomGifCompressor;
};

// The encoder a window made the default, or null.
TZVQ_CustomGifCompressor* defaultGifCompressor();
