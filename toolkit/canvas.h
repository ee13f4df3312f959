#pragma once

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>

#include "toolkit/colors.h"

class QPainter;
class QPaintDevice;

/// @file
/// The canvas: drawing with the platform's rules over any QPaintDevice, with
/// its pen, brush and font.

/// The pen lines are drawn with.
struct TPen {
    TColor Color = clBlack;  ///< of the line
    int Width = 1;  ///< device pixels; 0 and 1 are both the thinnest pen, one device pixel
};

/// How StretchDraw and CopyRect combine the source with what the canvas
/// holds: a plain copy, AND, or XOR (the platform's source-invert).
enum class TCopyMode { cmSrcCopy, cmSrcAnd, cmSrcInvert };

/// The brush rectangles and the box behind text are filled with.
struct TBrush {
    TColor Color = clWhite;  ///< rectangles and the box behind text
};

/// The font text is drawn in.
struct TFont {
    /// The family asked for; sans-serif (or monospace) families stand in
    /// where it is missing.
    QString Name = QStringLiteral("MS Sans Serif");
    int Size = 8;  ///< points, mapped to pixels through the device's resolution
    /// The colour of the glyphs.
    TColor Color = clWindowText;
    /// Bold glyphs.
    bool Bold = false;
    /// A fixed-pitch face: monospace families stand in for Name.
    bool FixedPitch = false;
    int Height = 0;  ///< pixels; when set it wins over Size
    /// The Qt font for @p device (null: a 96-dpi device), its pixel size
    /// rounded as the platform rounds it: 8 points are 11 pixels at 96 dpi.
    QFont toQFont(const QPaintDevice* device) const;
};

/// A drawing surface with the drawing rules of the platform the station was
/// designed on: a current pen position, lines that leave out their end point,
/// text placed by its top-left corner on an opaque box. Works over any
/// QPaintDevice: images for the chart, the printer for the report.
///
/// Every drawing operation but MoveTo raises Exception "Canvas does not
/// allow drawing" when there is no device or Qt cannot paint on it. Where
/// the program has no fonts (hasFonts() false) text operations draw nothing
/// and raise nothing.
class TCanvas {
public:
    /// A canvas over @p device, borrowed: it must outlive the canvas or be
    /// replaced with setDevice first.
    explicit TCanvas(QPaintDevice* device = nullptr);
    /// Ends painting (EndPainting).
    virtual ~TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    /// Ends painting on the old device and draws on @p device (borrowed) from now on.
    void setDevice(QPaintDevice* device);
    /// The device drawn on, borrowed; may be null.
    QPaintDevice* Device() const { return device_; }

    /// The pen of LineTo.
    TPen Pen;
    /// The colour of FillRect and of the box behind TextOut.
    TBrush Brush;
    /// The font of the text operations.
    TFont Font;
    /// How StretchDraw and CopyRect combine their source with the canvas.
    TCopyMode CopyMode = TCopyMode::cmSrcCopy;
    /// The current pen position, where LineTo starts.
    QPoint PenPos() const { return penPos_; }

    /// Drawing operations are virtual so that a canvas can record them.
    /// MoveTo only moves the pen position.
    virtual void MoveTo(int x, int y);
    /// Draws a line from the pen position to (x, y), the end point left out
    /// for the thinnest pen, and moves the pen position there.
    virtual void LineTo(int x, int y);
    /// Draws the text with its top-left corner at (x, y) on a box of the
    /// brush colour, and moves the pen position to its right end.
    virtual void TextOut(int x, int y, const QString& text);
    /// The width of @p text in the font, in device pixels; 0 without fonts.
    int TextWidth(const QString& text) const;
    /// Fills the rectangle with the brush colour.
    void FillRect(const QRect& rect);
    /// Draws the text with its top-left corner at (x, y), clipped to the
    /// rectangle; nothing behind the glyphs is painted.
    void TextRect(const QRect& rect, int x, int y, const QString& text);
    /// Draws @p image scaled to @p dest, pixels repeated and not smoothed,
    /// combined as CopyMode says.
    void StretchDraw(const QRect& dest, const QImage& image);
    /// Draws @p sourceRect of @p source's device scaled to @p dest, as
    /// StretchDraw does; @p source must draw on a QImage (Exception "Canvas
    /// does not allow drawing" otherwise).
    virtual void CopyRect(const QRect& dest, const TCanvas& source, const QRect& sourceRect);

    /// A printer takes one painter for the whole document; images get a
    /// painter per operation so that they can be read between drawings.
    /// BeginPainting holds one painter until EndPainting (Exception "Canvas
    /// does not allow drawing" when Qt refuses the device).
    void BeginPainting();
    /// Lets the painter of BeginPainting go; nothing when there is none.
    void EndPainting();

    /// Called after every drawing operation.
    std::function<void()> OnChange;

private:
    void paint(const std::function<void(QPainter&)>& draw);
    void drawThinLine(QPainter& painter, QPoint from, QPoint to);
    void drawStretched(const QRect& dest, const QImage& image, const QRect& sourceRect);

    QPaintDevice* device_;
    std::unique_ptr<QPainter> persistent_;
    QPoint penPos_;
};

/// The pixels a one-pixel line from `from` to `to` sets, the end point left out.
std::vector<QPoint> thinLinePixels(QPoint from, QPoint to);
