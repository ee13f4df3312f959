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

/// @file
/// The GIF encoder.

/// The logical screen's size when it is not to follow the first graphic.
class TGlobalFrame : public TPersistent {
public:
    /// Copies another frame's settings; other sources raise EConvertError.
    void Assign(TPersistent* source) override;
    bool UseGlobalFrame = false;  ///< the screen takes Width x Height
    int Width = 0;                ///< of the logical screen, in pixels
    int Height = 0;               ///< of the logical screen, in pixels
};

/// How true-colour pictures get their 256 colours.
enum class TGIFPaletteQuality : std::uint8_t {
    /// The median-cut palette: fast, boxes coloured by their cells' corners.
    Standard,
    /// Boxes coloured by the weighted mean of their pixels, refined by a few
    /// k-means passes, each pixel mapped to the entry nearest by plain RGB
    /// distance; pictures of 256 colours or fewer stay exact.
    High
};

/// Writes GIF streams: the header when a stream is opened, the screen
/// descriptor before the first graphic, then per graphic the comment, the
/// graphic control extension and the image or plain text, and the trailer
/// when the stream is closed. Pictures of more than 256 colours are reduced
/// with the median-cut palette and, where chosen, Floyd-Steinberg dithering.
///
/// An image's palette is the grey one (SetGrayscale), a paletted bitmap's
/// own colour table, or a palette made for a true-colour one (see
/// TGIFPaletteQuality). The first graphic's palette becomes the global
/// colour table when none is set; an image whose palette is not the global
/// table's first entries gets a table of its own. Sizes and origins go into
/// GIF's 16-bit fields as they are: the encoder does not check them.
///
/// Every write needs an open image stream, and raises the stream's own
/// error (EWriteError) when the stream takes less than it is given.
class TZVQ_CustomGifCompressor : public TZVQGraphicsCompressor {
public:
    /// An encoder owned by a top-level window becomes the process-wide
    /// default when there is none yet.
    explicit TZVQ_CustomGifCompressor(QObject* owner = nullptr);
    /// Writes the trailer of a stream still open (a failure there is lost);
    /// a default encoder stops being the default.
    ~TZVQ_CustomGifCompressor() override;

    /// Rows of the image being written, in percent.
    int GetPercentDone() override;
    /// A new stream gets its header ("GIF89a" or "GIF87a", as GetGIFType);
    /// the stream already open goes on.
    void OpenImageStream(TStream* stream) override;
    /// Writes the trailer (and an empty screen descriptor when no graphic
    /// was written); the global palette is forgotten unless retained.
    void CloseImageStream() override;
    /// 24 bits: toolkit bitmaps and pictures are converted to it.
    TDIBFormat GetInputType() override { return TDIBFormat::dt24bit; }
    /// Writes the bitmap at the image origin (SetImageXOrigin,
    /// SetImageYOrigin), with no delay, as WriteGIFGraphic does.
    void WriteDIBitmap(TDeviceIndependentBitmap* dib) override;

    /// Opens @p stream as the image stream and writes the graphic.
    void WriteGIFGraphicToStream(TStream* stream, TZVQExtGraphic* graphic, const TGIFGraphicControlInfo& info);
    /// Writes a TDeviceIndependentBitmap or a TPlainText (borrowed) with its
    /// control data @p info: the screen descriptor first when it is not out
    /// yet (the global frame's size when UseGlobalFrame, else the graphic's),
    /// then under GIF 89a the comment (SetComment) and a graphic control
    /// extension, transparent when the graphic is. Other graphics raise
    /// EGIFError "Unrecognised graphic type". A plain text block raises
    /// EGIFError "A Plain Text block cannot be encoded under GIF 87a" under
    /// GIF 87a, and "A Global Palette has not been defined" without a
    /// global table; its colours are the global table's nearest entries.
    /// Making an image's palette can raise EQuantError (a bitmap without
    /// pixels: "Unable to find Colour in Red Plane"); Abort raises Exception
    /// "User Abort" at the next progress report.
    void WriteGIFGraphic(TZVQExtGraphic* graphic, const TGIFGraphicControlInfo& info);
    /// An image whose LZW data (code size byte, sub-blocks, terminator) is
    /// coded already, written as the other graphics are but for the pixels:
    /// @p local is its own colour table (null: the global one), and
    /// @p transparentIndex -1 for none. Its graphic control extension is left
    /// out when it would say only what a reader assumes without one: no
    /// delay, no disposal, no transparency, no waiting for the user, and the
    /// control extension before it (if any) set no delay, no transparency
    /// and no disposal that clears, which some readers carry over to images
    /// without one. A stream without a screen descriptor gets one first, of
    /// the global frame's size. An image or screen that GIF's 16-bit fields
    /// cannot hold raises EGIFError "A GIF cannot hold an image of %1 x %2
    /// pixels at (%3, %4)" before anything is written.
    void WriteCodedImage(const TGIFGraphicControlInfo& info, int transparentIndex, QSize size,
                         const TLogicalPalette* local, const QByteArray& data);
    ///@{
    /// Whether the last graphic control extension written set a delay, a
    /// transparent index or a disposal that clears (see WriteCodedImage);
    /// for a writer that takes back what it wrote since, to put it back as
    /// it was.
    bool GetControlCarriesOver() const { return controlCarriesOver_; }
    void SetControlCarriesOver(bool carriesOver) { controlCarriesOver_ = carriesOver; }
    ///@}
    /// The logical screen descriptor of the global frame's size, with the
    /// global palette and the blocks held for after it, unless written; a
    /// size past 65535 raises EGIFError as WriteCodedImage does.
    void WriteScreen();
    /// A comment block; an empty comment writes nothing. Under GIF 87a it
    /// raises EGIFError "A Comment block cannot be encoded under GIF 87a".
    /// Extension blocks written before the first graphic are held back and
    /// follow the logical screen descriptor, where the format wants them.
    void WriteComment(const QByteArray& text);
    /// An application extension with @p count bytes of data, held back as
    /// WriteComment's blocks are; under GIF 87a EGIFError "A Application
    /// Extension block cannot be encoded under GIF 87a" (sic).
    /// Identifiers shorter than 8 characters and codes shorter than 3 are
    /// padded with spaces; longer ones are cut.
    void WriteApplicationExtension(const TAppID& appId, const TAuthCode& authCode, const void* data, int count);
    /// The looping extension; 0 loops for ever. The count's low 16 bits are
    /// written.
    void WriteLoopControl(int count);

    ///@{
    /// Raw bytes into the image stream: a byte, a little-endian word, and
    /// data cut into sub-blocks with their terminator.
    void WriteByte(std::uint8_t value);
    void WriteWord(std::uint16_t value);
    void WriteDataBlock(const void* data, int length);
    ///@}

    ///@{
    /// The version written (89a by default); it cannot change while a stream
    /// is open (EGIFError "Cannot change the GIF type while writing a GIF
    /// Stream").
    TGIFType GetGIFType() const { return gifType_; }
    void SetGIFType(TGIFType type);
    ///@}
    ///@{
    /// Images are written interlaced; off by default.
    bool GetInterlace() const { return interlace_; }
    void SetInterlace(bool value) { interlace_ = value; }
    ///@}
    ///@{
    /// The global colour table, owned by the encoder; SetGlobalPalette
    /// copies @p palette into it. Empty until set or taken from the first
    /// graphic.
    TLogicalPalette* GetGlobalPalette() const { return globalPalette_.get(); }
    void SetGlobalPalette(TLogicalPalette* palette);
    ///@}
    /// The logical screen's size setting, owned by the encoder.
    TGlobalFrame* GetGlobalFrame() const { return globalFrame_.get(); }
    ///@{
    /// The background colour, written as the global table's nearest entry;
    /// white by default.
    TColor GetBackgroundColor() const { return backgroundColor_; }
    void SetBackgroundColor(TColor colour) { backgroundColor_ = colour; }
    ///@}
    ///@{
    /// The comment written before each graphic (GIF 89a); none when empty.
    const QByteArray& GetComment() const { return comment_; }
    void SetComment(const QByteArray& text) { comment_ = text; }
    ///@}
    ///@{
    /// Where WriteDIBitmap places its image on the logical screen.
    int GetImageXOrigin() const { return imageXOrigin_; }
    void SetImageXOrigin(int x) { imageXOrigin_ = x; }
    int GetImageYOrigin() const { return imageYOrigin_; }
    void SetImageYOrigin(int y) { imageYOrigin_ = y; }
    ///@}
    ///@{
    /// The global palette outlives CloseImageStream, for the next stream.
    bool GetRetainGlobalPalette() const { return retainGlobalPalette_; }
    void SetRetainGlobalPalette(bool value) { retainGlobalPalette_ = value; }
    ///@}
    ///@{
    /// Floyd-Steinberg dithering where the palette does not hold a picture's
    /// colours exactly; on by default.
    bool GetFSDither() const { return fsDither_; }
    void SetFSDither(bool value) { fsDither_ = value; }
    ///@}
    ///@{
    /// Images are written in the 64 grey levels of the grey palette.
    bool GetGrayscale() const { return grayscale_; }
    void SetGrayscale(bool value) { grayscale_ = value; }
    ///@}
    ///@{
    /// How true-colour pictures get their colours; Standard by default.
    TGIFPaletteQuality GetPaletteQuality() const { return paletteQuality_; }
    void SetPaletteQuality(TGIFPaletteQuality quality) { paletteQuality_ = quality; }
    ///@}

private:
    void checkFieldsHold(QPoint origin, int width, int height) const;
    void writeHeader();
    void writeExtension(const QByteArray& block);
    static QByteArray dataBlocks(const void* data, int length);
    void WriteLogicalScreenDescriptor(int width, int height, int resolution, std::uint8_t aspect);
    void WriteColourTable(const TLogicalPalette* palette, int entries);
    void WriteGraphicControlExtension(const TGIFGraphicControlInfo& info, bool transparent, int index);
    void WriteImageDescriptor(QPoint origin, int width, int height, const TLogicalPalette* local);
    void WriteDIB(TDeviceIndependentBitmap* dib, const TGIFGraphicControlInfo& info);
    void WritePlainText(TPlainText* text, const TGIFGraphicControlInfo& info);
    enum class Control { Always, WhenItSaysSomething };
    void writeLeadingBlocks(const TGIFGraphicControlInfo& info, bool transparent, int transparentIndex,
                            Control control = Control::Always);
    void refuseIn87a(const char* blockName) const;
    std::unique_ptr<TLogicalPalette> paletteFor(TDeviceIndependentBitmap* dib);
    void writePixels(TDeviceIndependentBitmap* dib, TLogicalPalette* palette);
    void writeRows(TDeviceIndependentBitmap* dib, TLogicalPalette* palette, TDithererClass ditherer);
    void countRow();

    TGIFType gifType_ = TGIFType::gt89a;
    bool interlace_ = false;
    std::unique_ptr<TLogicalPalette> globalPalette_;
    bool screenDescriptorWritten_ = false;
    // Whether the last control block written set a delay, a transparent
    // index or a disposal that clears, which some readers carry over to an
    // image without one.
    bool controlCarriesOver_ = false;
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

/// The same encoder as it is offered to form designers.
class TZVQ_GIFCompressor : public TZVQ_CustomGifCompressor {
public:
    /// An encoder that @p owner (when not null) destroys with itself.
    using TZVQ_CustomGifCompressor::TZVQ_CustomGifCompressor;
};

/// The encoder a window made the default, borrowed, or null.
TZVQ_CustomGifCompressor* defaultGifCompressor();
