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

struct TPen {
    TColor Color = clBlack;
    int Width = 1;  // 0 and 1 are both the thinnest pen, one device pixel
};

// How StretchDraw and CopyRect combine the source with what the canvas
// holds: a plain copy, AND, or XOR (the platform's source-invert).
enum class TCopyMode { cmSrcCopy, cmSrcAnd, cmSrcInvert };

struct TBrush {
    TColor Color = clWhite;  // the box behind text
};

struct TFont {
    QString Name = QStringLiteral("MS Sans Serif");
    int Size = 8;  // points, mapped to pixels through the device's resolution
    TColor Color = clWindowText;
    bool Bold = false;
    bool FixedPitch = false;
    int Height = 0;  // pixels; when set it wins over Size
    QFont toQFont(const QPaintDevice* device) const;
};

// A drawing surface with the drawing rules of the platform the station was
// designed on: a current pen position, lines that leave out their end point,
// text placed by its top-left corner on an opaque box. Works over any
// QPaintDevice: images for the chart, the printer for the report.
class TCanvas {
public:
    explicit TCanvas(QPaintDevice* device = nullptr);
    virtual ~TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    void setDevice(QPaintDevice* device);
    QPaintDevice* Device() const { return device_; }

    TPen Pen;
    TBrush Brush;
    TFont Font;
    TCopyMode CopyMode = TCopyMode::cmSrcCopy;
    QPoint PenPos() const { return penPos_; }

    // Drawing operations are virtual so that a canvas can record them.
    virtual void MoveTo(int x, int y);
    virtual void LineTo(int x, int y);
    virtual void TextOut(int x, int y, const QString& text);
    int TextWidth(const QString& text) const;
    // Fills the rectangle with the brush colour.
    void FillRect(const QRect& rect);
    // Draws the text with its top-left corner at (x, y), clipped to the
    // rectangle; nothing behind the glyphs is painted.
    void TextRect(const QRect& rect, int x, int y, const QString& text);
    void StretchDraw(const QRect& dest, const QImage& image);
    virtual void CopyRect(const QRect& dest, const TCanvas& source, const QRect& sourceRect);

    // A printer takes one painter for the whole document; images get a
    // painter per operation so that they can be read between drawings.
    void BeginPainting();
    void EndPainting();

    std::function<void()> OnChange;

private:
    void paint(const std::function<void(QPainter&)>& draw);
    void drawThinLine(QPainter& painter, QPoint from, QPoint to);
    void drawStretched(const QRect& dest, const QImage& image, const QRect& sourceRect);

    QPaintDevice* device_;
    std::unique_ptr<QPainter> persistent_;
    QPoint penPos_;
};

// The pixels a one-pixel line from `from` to `to` sets, the end point left out.
std::vector<QPoint> thinLinePixels(QPoint from, QPoint to);
