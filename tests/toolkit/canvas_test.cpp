#include <QFontMetrics>
#include <QImage>
#include <gtest/gtest.h>

#include "toolkit/canvas.h"
#include "test_support.h"
#include "toolkit/exception.h"

namespace {

QImage whiteImage(int width = 20, int height = 20) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

std::vector<QPoint> blackPixels(const QImage& image) {
    std::vector<QPoint> result;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == Qt::black) result.emplace_back(x, y);
    return result;
}

}  // namespace

TEST(CanvasLines, LineToTheLeftNeighbourSetsOnlyItsStart) {
    QImage image = whiteImage();
    TCanvas canvas(&image);
    canvas.MoveTo(7, 4);
    canvas.LineTo(6, 4);
    EXPECT_EQ(blackPixels(image), std::vector<QPoint>{QPoint(7, 4)});
    EXPECT_EQ(canvas.PenPos(), QPoint(6, 4));
}

TEST(CanvasLines, EndPointIsLeftOutInEveryDirection) {
    const QPoint from(10, 10);
    for (QPoint to : {QPoint(15, 10), QPoint(5, 10), QPoint(10, 16), QPoint(10, 3), QPoint(14, 13),
                      QPoint(4, 17), QPoint(13, 2)}) {
        QImage image = whiteImage();
        TCanvas canvas(&image);
        canvas.MoveTo(from.x(), from.y());
        canvas.LineTo(to.x(), to.y());
        const auto pixels = blackPixels(image);
        const int major = std::max(std::abs(to.x() - from.x()), std::abs(to.y() - from.y()));
        EXPECT_EQ(int(pixels.size()), major) << to.x() << "," << to.y();
        EXPECT_EQ(image.pixelColor(from), Qt::black);
        EXPECT_EQ(image.pixelColor(to), Qt::white);
    }
}

TEST(CanvasLines, SlopedLineIsConnectedAndStaysNearTheIdealLine) {
    const auto pixels = thinLinePixels(QPoint(46, 25), QPoint(49, 5));
    ASSERT_EQ(pixels.size(), 20u);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        EXPECT_EQ(pixels[i].y(), 25 - int(i));
        const double ideal = 46 + 3.0 * double(i) / 20.0;
        EXPECT_LE(std::abs(pixels[i].x() - ideal), 0.5 + 1e-9);
        if (i > 0) {
            EXPECT_LE(std::abs(pixels[i].x() - pixels[i - 1].x()), 1);
        }
    }
}

TEST(CanvasLines, ZeroLengthLineDrawsNothingAndOffImageLinesAreClipped) {
    QImage image = whiteImage();
    TCanvas canvas(&image);
    canvas.MoveTo(3, 3);
    canvas.LineTo(3, 3);
    EXPECT_TRUE(blackPixels(image).empty());
    canvas.MoveTo(5, -40);
    canvas.LineTo(5, 2);
    EXPECT_EQ(blackPixels(image), (std::vector<QPoint>{QPoint(5, 0), QPoint(5, 1)}));
}

TEST(CanvasLines, PenColourIsUsed) {
    QImage image = whiteImage();
    TCanvas canvas(&image);
    canvas.Pen.Color = clScrollBar;
    canvas.MoveTo(1, 1);
    canvas.LineTo(0, 1);
    EXPECT_EQ(image.pixelColor(1, 1), QColor(200, 200, 200));
}

TEST(CanvasText, TextSitsOnAnOpaqueWhiteBoxAtItsTopLeftCorner) {
    QImage image(200, 60, QImage::Format_RGB32);
    image.fill(Qt::black);
    TCanvas canvas(&image);
    canvas.TextOut(10, 20, QStringLiteral("15mA"));
    const int width = canvas.TextWidth(QStringLiteral("15mA"));
    const int height = QFontMetrics(canvas.Font.toQFont(&image), &image).height();
    EXPECT_GT(width, 10);
    EXPECT_EQ(image.pixelColor(10, 20), Qt::white);
    EXPECT_EQ(image.pixelColor(9, 20), Qt::black);
    EXPECT_EQ(image.pixelColor(10, 19), Qt::black);
    EXPECT_EQ(image.pixelColor(10 + width, 20), Qt::black);
    int dark = 0;
    for (int y = 20; y < 20 + height; ++y)
        for (int x = 10; x < 10 + width; ++x) dark += image.pixelColor(x, y).lightness() < 128;
    EXPECT_GT(dark, 10) << "the glyphs are drawn in the dark font colour";
}

TEST(CanvasText, EightPointFontIsElevenPixelsOnAScreenImage) {
    QImage image = whiteImage();
    image.setDotsPerMeterY(3780);  // 96 dpi
    TFont font;
    EXPECT_EQ(font.toQFont(&image).pixelSize(), 11);
    font.Size = 16;
    EXPECT_EQ(font.toQFont(&image).pixelSize(), 21);
}

TEST(CanvasCopy, StretchedCopyScalesEveryPixel) {
    QImage source(2, 1, QImage::Format_RGB32);
    source.setPixelColor(0, 0, Qt::red);
    source.setPixelColor(1, 0, Qt::blue);
    TCanvas sourceCanvas(&source);
    QImage target = whiteImage(8, 4);
    TCanvas canvas(&target);
    canvas.CopyRect(QRect(0, 0, 8, 4), sourceCanvas, QRect(0, 0, 2, 1));
    EXPECT_EQ(target.pixelColor(0, 0), Qt::red);
    EXPECT_EQ(target.pixelColor(3, 3), Qt::red);
    EXPECT_EQ(target.pixelColor(4, 0), Qt::blue);
    EXPECT_EQ(target.pixelColor(7, 3), Qt::blue);
}

TEST(CanvasDevice, ChangesAreReportedAndAMissingDeviceRaises) {
    QImage image = whiteImage();
    TCanvas canvas(&image);
    int changes = 0;
    canvas.OnChange = [&] { ++changes; };
    canvas.MoveTo(0, 0);
    canvas.LineTo(5, 0);
    EXPECT_EQ(changes, 1);
    TCanvas empty;
    expectThrowWithMessage<Exception>([&] { empty.LineTo(1, 1); },
                                      QStringLiteral("Canvas does not allow drawing"));
}
