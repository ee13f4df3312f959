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

// A palette as the toolkit hands it around: the colours in entry order.
using TColorTable = QList<QRgb>;

enum class TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit };
enum class TTransparentMode { tmAuto, tmFixed };
enum class TProgressStage { psStarting, psRunning, psEnding };
using TProgressEvent = std::function<void(TObject* sender, TProgressStage stage, int percentDone, bool redrawNow,
                                          const QRect& rect, const QString& message)>;

class EInvalidGraphic : public Exception {
public:
    EInvalidGraphic() : Exception(QStringLiteral("Bitmap image is not valid")) {}
    explicit EInvalidGraphic(const QString& message) : Exception(message) {}
};

// The toolkit bitmap: an image in memory with a pixel format, an optional
// palette, a transparent colour and a canvas to draw on; reads and writes
// BMP files. pf4bit images are held as 8-bit indexed images whose palette
// has at most 16 colours.
class TBitmap : public TPersistent {
public:
    TBitmap();
    ~TBitmap() override;

    void Assign(TPersistent* source) override;

    int Width() const { return image_.width(); }
    int Height() const { return image_.height(); }
    void SetWidth(int width) { SetSize(width, Height()); }
    void SetHeight(int height) { SetSize(Width(), height); }
    // Keeps the pixels that still fit; new pixels are white.
    void SetSize(int width, int height);
    bool Empty() const { return image_.isNull(); }

    TPixelFormat PixelFormat() const { return pixelFormat_; }
    void SetPixelFormat(TPixelFormat format);

    // The colour table of a paletted image, or the palette given to a
    // true-colour one; empty when there is none.
    TColorTable Palette() const;
    void SetPalette(const TColorTable& palette);

    bool Transparent() const { return transparent_; }
    void SetTransparent(bool transparent) { transparent_ = transparent; }
    TTransparentMode TransparentMode() const { return transparentMode_; }
    void SetTransparentMode(TTransparentMode mode) { transparentMode_ = mode; }
    // In automatic mode the colour of the bottom-left pixel.
    TColor TransparentColor() const;
    // Fixes the transparent colour (the mode becomes tmFixed).
    void SetTransparentColor(TColor color);

    // Drawing needs a true-colour image: a paletted one is converted first.
    TCanvas* Canvas();

    const QImage& Image() const { return image_; }
    void SetImage(const QImage& image);

    // File formats of their own override the stream forms (and SaveToFile
    // where the file name decides the format).
    virtual void LoadFromStream(TStream* stream);
    virtual void SaveToStream(TStream* stream) const;
    void LoadFromFile(const QString& fileName);
    virtual void SaveToFile(const QString& fileName) const;

    // How far a long load or save has got.
    TProgressEvent OnProgress;
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
