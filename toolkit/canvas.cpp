#include "toolkit/canvas.h"

#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <cstdlib>

#include "toolkit/exception.h"
#include "toolkit/screen.h"

namespace {

// The raster operations work on the bits of the pixels, as a
// bit-block transfer does.
QPainter::CompositionMode compositionMode(TCopyMode mode) {
    switch (mode) {
    case TCopyMode::cmSrcAnd: return QPainter::RasterOp_SourceAndDestination;
    case TCopyMode::cmSrcInvert: return QPainter::RasterOp_SourceXorDestination;
    case TCopyMode::cmSrcCopy: break;
    }
    return QPainter::CompositionMode_Source;
}

}  // namespace

QFont TFont::toQFont(const QPaintDevice* device) const {
    QFont font(Name);
    if (FixedPitch) {
        font.setFamilies({Name, QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")});
        font.setStyleHint(QFont::Monospace);
        font.setFixedPitch(true);
    } else {
        font.setFamilies({Name, QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
        font.setStyleHint(QFont::SansSerif);
    }
    // The point size becomes a whole pixel height, rounded as the platform
    // rounds it: 8 points are 11 pixels on a 96-dpi screen.
    const int dpi = device ? device->logicalDpiY() : 96;
    font.setPixelSize(Height > 0 ? Height : std::max(1, (Size * dpi + 36) / 72));
    font.setBold(Bold);
    return font;
}

TCanvas::TCanvas(QPaintDevice* device) : device_(device) {}

TCanvas::~TCanvas() { EndPainting(); }

void TCanvas::setDevice(QPaintDevice* device) {
    EndPainting();
    device_ = device;
}

void TCanvas::BeginPainting() {
    if (persistent_ || !device_) return;
    persistent_ = std::make_unique<QPainter>();
    if (!persistent_->begin(device_)) {
        persistent_.reset();
        throw Exception(QStringLiteral("Canvas does not allow drawing"));
    }
}

void TCanvas::EndPainting() {
    if (persistent_) persistent_->end();
    persistent_.reset();
}

void TCanvas::paint(const std::function<void(QPainter&)>& draw) {
    if (!device_) throw Exception(QStringLiteral("Canvas does not allow drawing"));
    if (persistent_) {
        draw(*persistent_);
    } else {
        QPainter painter(device_);
        if (!painter.isActive()) throw Exception(QStringLiteral("Canvas does not allow drawing"));
        draw(painter);
    }
    if (OnChange) OnChange();
}

void TCanvas::MoveTo(int x, int y) { penPos_ = QPoint(x, y); }

std::vector<QPoint> thinLinePixels(QPoint from, QPoint to) {
    const int dx = std::abs(to.x() - from.x());
    const int dy = std::abs(to.y() - from.y());
    const int sx = to.x() >= from.x() ? 1 : -1;
    const int sy = to.y() >= from.y() ? 1 : -1;
    const int major = std::max(dx, dy);
    const int minor = std::min(dx, dy);
    std::vector<QPoint> pixels;
    pixels.reserve(std::size_t(major));
    int x = from.x(), y = from.y();
    // Bresenham along the major axis; on a tie the minor axis steps late.
    int error = 2 * minor - major;
    for (int i = 0; i < major; ++i) {
        pixels.emplace_back(x, y);
        if (error > 0) {
            if (dx >= dy) y += sy; else x += sx;
            error -= 2 * major;
        }
        if (dx >= dy) x += sx; else y += sy;
        error += 2 * minor;
    }
    return pixels;
}

void TCanvas::drawThinLine(QPainter& painter, QPoint from, QPoint to) {
    const std::vector<QPoint> pixels = thinLinePixels(from, to);
    if (!pixels.empty()) painter.drawPoints(pixels.data(), int(pixels.size()));
}

void TCanvas::LineTo(int x, int y) {
    const QPoint from = penPos_, to(x, y);
    paint([&](QPainter& painter) {
        painter.setRenderHint(QPainter::Antialiasing, false);
        if (Pen.Width <= 1) {
            QPen pen(toQColor(Pen.Color), 1);
            pen.setCosmetic(true);
            painter.setPen(pen);
            drawThinLine(painter, from, to);
        } else {
            painter.setPen(QPen(toQColor(Pen.Color), Pen.Width, Qt::SolidLine, Qt::RoundCap,
                                Qt::RoundJoin));
            painter.drawLine(from, to);
        }
    });
    penPos_ = to;
}

void TCanvas::TextOut(int x, int y, const QString& text) {
    if (!hasFonts()) return;
    paint([&](QPainter& painter) {
        const QFont font = Font.toQFont(device_);
        const QFontMetrics metrics(font, device_);
        const QRect box(x, y, metrics.horizontalAdvance(text), metrics.height());
        painter.fillRect(box, toQColor(Brush.Color));
        painter.setFont(font);
        painter.setPen(toQColor(Font.Color));
        painter.drawText(QPoint(x, y + metrics.ascent()), text);
    });
    penPos_ = QPoint(x + TextWidth(text), y);
}

int TCanvas::TextWidth(const QString& text) const {
    if (!hasFonts()) return 0;
    return QFontMetrics(Font.toQFont(device_), device_).horizontalAdvance(text);
}

void TCanvas::FillRect(const QRect& rect) {
    paint([&](QPainter& painter) { painter.fillRect(rect, toQColor(Brush.Color)); });
}

void TCanvas::TextRect(const QRect& rect, int x, int y, const QString& text) {
    if (!hasFonts()) return;
    paint([&](QPainter& painter) {
        const QFont font = Font.toQFont(device_);
        painter.setClipRect(rect);
        painter.setFont(font);
        painter.setPen(toQColor(Font.Color));
        painter.drawText(QPoint(x, y + QFontMetrics(font, device_).ascent()), text);
        painter.setClipping(false);
    });
}

void TCanvas::StretchDraw(const QRect& dest, const QImage& image) {
    drawStretched(dest, image, image.rect());
}

void TCanvas::CopyRect(const QRect& dest, const TCanvas& source, const QRect& sourceRect) {
    const auto* image = dynamic_cast<const QImage*>(source.Device());
    if (!image) throw Exception(QStringLiteral("Canvas does not allow drawing"));
    drawStretched(dest, *image, sourceRect);
}

// Pixels are repeated, not smoothed, and reach a printer without lossy
// compression.
void TCanvas::drawStretched(const QRect& dest, const QImage& image, const QRect& sourceRect) {
    paint([&](QPainter& painter) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.setRenderHint(QPainter::LosslessImageRendering, true);
        if (CopyMode != TCopyMode::cmSrcCopy) painter.setCompositionMode(compositionMode(CopyMode));
        painter.drawImage(dest, image, sourceRect);
    });
}
