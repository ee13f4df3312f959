#pragma once

#include <QImage>
#include <QList>
#include <QRect>
#include <functional>
#include <memory>

#include "toolkit/canvas.h"
#include "toolkit/colors.h"
#include "toolkit/persistent.h"

class TStream;

/// @file
/// The toolkit bitmap, its pixel formats, progress events and error.

/// A palette as the toolkit hands it around: the colours in entry order.
using TColorTable = QList<QRgb>;

/// A bitmap's pixel format: bits per pixel, or pfDevice for the display's
/// own (32-bit) format.
enum class TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit };
/// Whether the transparent colour is the bottom-left pixel's (tmAuto) or
/// fixed by SetTransparentColor.
enum class TTransparentMode { tmAuto, tmFixed };
/// Where a long operation is: starting, under way, or ending.
enum class TProgressStage { psStarting, psRunning, psEnding };
/// (Sender, stage, percent done, redraw now, the rectangle done so far, a
/// message) for a long load or save.
using TProgressEvent = std::function<void(TObject* sender, TProgressStage stage, int percentDone, bool redrawNow,
                                          const QRect& rect, const QString& message)>;

/// A picture that cannot be read or written: "Bitmap image is not valid",
/// or the text a picture format gives.
class EInvalidGraphic : public Exception {
public:
    /// The error "Bitmap image is not valid".
    EInvalidGraphic() : Exception(QStringLiteral("Bitmap image is not valid")) {}
    /// An error with the fixed text @p message.
    explicit EInvalidGraphic(const QString& message) : Exception(message) {}
};

/// The toolkit bitmap: an image in memory with a pixel format, an optional
/// palette, a transparent colour and a canvas to draw on; reads and writes
/// BMP files. pf4bit images are held as 8-bit indexed images whose palette
/// has at most 16 colours.
class TBitmap : public TPersistent {
public:
    /// An empty bitmap (pfDevice).
    TBitmap();
    ~TBitmap() override;

    /// Copies another TBitmap's pixels, format, palette and transparency;
    /// other sources as TPersistent::Assign says (EConvertError).
    void Assign(TPersistent* source) override;

    ///@{
    /// The size in pixels; 0 for an empty bitmap.
    int Width() const { return image_.width(); }
    int Height() const { return image_.height(); }
    ///@}
    ///@{
    /// Changes one side as SetSize does.
    void SetWidth(int width) { SetSize(width, Height()); }
    void SetHeight(int height) { SetSize(Width(), height); }
    ///@}
    /// Keeps the pixels that still fit; new pixels are white. A side of 0
    /// (or less) empties the bitmap.
    void SetSize(int width, int height);
    /// No pixels at all.
    bool Empty() const { return image_.isNull(); }

    /// The pixel format.
    TPixelFormat PixelFormat() const { return pixelFormat_; }
    /// Converts the pixels to @p format, without dithering; pf4bit maps them
    /// to the default palette's 16 basic colours.
    void SetPixelFormat(TPixelFormat format);

    /// The colour table of a paletted image, or the palette given to a
    /// true-colour one; empty when there is none.
    TColorTable Palette() const;
    /// Gives a paletted image @p palette as its colour table (padded with
    /// black to the old table's length); a true-colour one keeps it for Palette.
    void SetPalette(const TColorTable& palette);

    ///@{
    /// The bitmap is drawn with its transparent colour left out.
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool transparent) { transparent_ = transparent; }
    ///@}
    ///@{
    /// Where the transparent colour comes from.
    TTransparentMode TransparentMode() const { return transparentMode_; }
    void SetTransparentMode(TTransparentMode mode) { transparentMode_ = mode; }
    ///@}
    /// In automatic mode the colour of the bottom-left pixel.
    TColor TransparentColor() const;
    /// Fixes the transparent colour (the mode becomes tmFixed).
    void SetTransparentColor(TColor color);

    /// The canvas over the pixels, owned by the bitmap. Drawing needs a
    /// true-colour image: a paletted one is converted first (to pfDevice).
    TCanvas* Canvas();

    /// The pixels.
    const QImage& Image() const { return image_; }
    /// Replaces the pixels with a copy of @p image; the pixel format follows
    /// the image's.
    void SetImage(const QImage& image);

    /// File formats of their own override the stream forms (and SaveToFile
    /// where the file name decides the format). This one reads a BMP from
    /// the stream's position to its end; EInvalidGraphic "Bitmap image is
    /// not valid" when there is none or it cannot be read.
    virtual void LoadFromStream(TStream* stream);
    /// Writes the bitmap as a BMP (EInvalidGraphic "Bitmap image is not
    /// valid" when it cannot be encoded, EWriteError when the stream is short).
    virtual void SaveToStream(TStream* stream) const;
    /// LoadFromStream over the file (EFOpenError when it cannot be opened).
    void LoadFromFile(const QString& fileName);
    /// SaveToStream into a new file (EFCreateError when it cannot be made).
    virtual void SaveToFile(const QString& fileName) const;

    /// How far a long load or save has got.
    TProgressEvent OnProgress;
    /// Raises OnProgress, when set, with these arguments.
    void Progress(TObject* sender, TProgressStage stage, int percentDone, bool redrawNow, const QRect& rect,
                  const QString& message) const {
        if (OnProgress) OnProgress(sender, stage, percentDone, redrawNow, rect, message);
    }

private:
    QImage image_;
    TPixelFormat pixelFormat_ = TPixelFormat::pfDevice;
    TColorTable palette_;
    bool transparent_ = false;
    TTransparentMode transparentMode_ = TTransparentMode::tmAuto;
    TColor transparentColor_ = clWhite;
    std::unique_ptr<TCanvas> canvas_;
};
