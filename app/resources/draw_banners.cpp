// Draws the two banner pictures of the station (splash and main panel) and
// writes them as JPEG files with libjpeg, and the desktop icon, the banner's
// emblem on a square tile, as a PNG file. Run by hand when the artwork
// changes: draw_banners <banner folder> [<icon file>].
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstdio>
#include <jpeglib.h>

namespace {

const QColor kPanel(210, 206, 198);

bool writeJpeg(const QImage& image, const QString& path) {
    FILE* file = std::fopen(path.toLocal8Bit().constData(), "wb");
    if (!file) return false;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = JDIMENSION(rgb.width());
    info.image_height = JDIMENSION(rgb.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<uchar*>(rgb.constScanLine(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
    return true;
}

// A sensor's current trace with its status steps, the station's emblem.
void drawTrace(QPainter& painter, QRectF area, QColor color, qreal width) {
    QPainterPath path;
    for (int i = 0; i <= 200; ++i) {
        const qreal t = i / 200.0;
        const qreal y = 0.55 + 0.25 * std::sin(t * 9.0) * std::exp(-t * 1.5) +
                        (std::fmod(t * 5, 1.0) < 0.5 ? -0.08 : 0.0);
        const QPointF point(area.left() + t * area.width(), area.top() + y * area.height());
        if (i == 0) path.moveTo(point); else path.lineTo(point);
    }
    painter.setPen(QPen(color, width));
    painter.drawPath(path);
}

QImage drawBanner(int width, int height, QRectF traceArea) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, QColor(232, 229, 222));
    gradient.setColorAt(1, kPanel);
    painter.fillRect(image.rect(), gradient);
    painter.setPen(QPen(QColor(190, 186, 178), 1));
    for (int x = 0; x < width; x += 24) painter.drawLine(x, 0, x, height);
    for (int y = 0; y < height; y += 24) painter.drawLine(0, y, width, y);
    drawTrace(painter, traceArea, QColor(40, 90, 160, 170), 3);
    return image;
}

// The banner's grid and trace on a rounded tile, drawn at the icon's size
// rather than scaled down, so that lines stay sharp.
QImage drawIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF tile(size * 0.04, size * 0.04, size * 0.92, size * 0.92);
    QPainterPath outline;
    outline.addRoundedRect(tile, size * 0.16, size * 0.16);
    const QImage banner = drawBanner(size, size, QRectF(size * 0.1, size * 0.1, size * 0.8, size * 0.7));
    painter.setClipPath(outline);
    painter.drawImage(0, 0, banner);
    painter.setClipping(false);
    painter.setPen(QPen(QColor(120, 116, 108), size / 64.0));
    painter.drawPath(outline);
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    const bool ok = writeJpeg(drawBanner(289, 154, QRectF(150, 10, 130, 80)), folder + "/splash.jpg") &&
                    writeJpeg(drawBanner(1008, 274, QRectF(790, 8, 200, 90)), folder + "/main.jpg");
    const bool iconOk = argc < 3 || drawIcon(256).save(QString::fromLocal8Bit(argv[2]), "PNG");
    return ok && iconOk ? 0 : 1;
}
