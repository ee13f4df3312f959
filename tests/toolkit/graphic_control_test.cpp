#include <gtest/gtest.h>

#include <QPainter>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include "toolkit/bitmap.h"
#include "toolkit/graphic_control.h"
#include "toolkit/monochrome_mask.h"
#include "toolkit/timer.h"

namespace {

const QColor kParent(30, 60, 90);

// Counts its paints and draws a red square at (2, 2) in each.
class Square : public TGraphicControl {
public:
    using TGraphicControl::TGraphicControl;
    int paints = 0;
    QRgb underSquareAtPaint = 0;
    QRect clipAtPaint;

protected:
    void Paint() override {
        ++paints;
        clipAtPaint = ClipRect();
        underSquareAtPaint = static_cast<QImage*>(Canvas()->Device())->pixel(3, 3);
        Canvas()->Brush.Color = RGB(255, 0, 0);
        Canvas()->FillRect(QRect(2, 2, 4, 4));
    }
};

struct Window {
    QWidget window;
    Square* control;
    Window() {
        QPalette palette = window.palette();
        palette.setColor(QPalette::Window, kParent);
        window.setPalette(palette);
        window.setAutoFillBackground(true);
        window.resize(40, 40);
        control = new Square(&window, QStringLiteral("Square1"));
        control->setGeometry(10, 10, 20, 20);
        window.show();
        (void)QTest::qWaitForWindowExposed(&window);
        settle();
    }
    static void settle() {
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    }
    QImage screen() {
        settle();
        return window.windowHandle()->screen()->grabWindow(window.winId()).toImage();
    }
};

QImage filled(QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

}  // namespace

// --- Copy modes ------------------------------------------------------------------------

TEST(CanvasCopyMode, InvertTwiceLeavesTheCanvasAsItWas) {
    QImage target = filled(QSize(2, 1), QColor(0x12, 0x34, 0x56));
    TCanvas canvas(&target);
    canvas.CopyMode = TCopyMode::cmSrcInvert;
    const QImage source = filled(QSize(1, 1), QColor(0xF0, 0x0F, 0xFF));
    canvas.StretchDraw(QRect(0, 0, 1, 1), source);
    EXPECT_EQ(target.pixel(0, 0), qRgb(0x12 ^ 0xF0, 0x34 ^ 0x0F, 0x56 ^ 0xFF));
    EXPECT_EQ(qAlpha(target.pixel(0, 0)), 255);
    canvas.StretchDraw(QRect(0, 0, 1, 1), source);
    EXPECT_EQ(target.pixel(0, 0), qRgb(0x12, 0x34, 0x56));
    EXPECT_EQ(target.pixel(1, 0), qRgb(0x12, 0x34, 0x56));
}

TEST(CanvasCopyMode, AndWithAMaskKeepsWhiteAndClearsBlack) {
    QImage target = filled(QSize(3, 1), QColor(0x12, 0x34, 0x56));
    const QImage mask =
        monochromeMask(QSize(3, 1), filled(QSize(1, 1), Qt::red), QPoint(1, 0), qRgb(0, 0, 0));
    TCanvas canvas(&target);
    canvas.CopyMode = TCopyMode::cmSrcAnd;
    canvas.StretchDraw(QRect(0, 0, 3, 1), mask);
    EXPECT_EQ(target.pixel(0, 0), qRgb(0x12, 0x34, 0x56));
    EXPECT_EQ(target.pixel(1, 0), qRgb(0, 0, 0));
    EXPECT_EQ(target.pixel(2, 0), qRgb(0x12, 0x34, 0x56));
}

// --- Monochrome masks -------------------------------------------------------------------

TEST(MonochromeMask, PixelsOfTheBackgroundColourGiveOneBitsAndTheRestZero) {
    QImage picture(3, 2, QImage::Format_Indexed8);
    picture.setColorTable({qRgb(9, 9, 9), qRgb(200, 100, 50)});
    picture.fill(0);
    picture.setPixel(1, 1, 1);
    const QImage mask = monochromeMask(QSize(12, 4), picture, QPoint(9, 1), qRgb(200, 100, 50));
    ASSERT_EQ(mask.format(), QImage::Format_Mono);
    EXPECT_EQ(mask.size(), QSize(12, 4));
    EXPECT_EQ(mask.pixelIndex(0, 0), 1) << "outside the picture";
    EXPECT_EQ(mask.pixelIndex(9, 1), 0);
    EXPECT_EQ(mask.pixelIndex(10, 2), 1);
    EXPECT_EQ(mask.pixelIndex(11, 2), 0);
    EXPECT_EQ(mask.pixelIndex(11, 3), 1);
}

TEST(MonochromeMask, APictureReachingPastTheMaskIsClipped) {
    const QImage mask =
        monochromeMask(QSize(4, 4), filled(QSize(4, 4), Qt::blue), QPoint(2, -2), qRgb(0, 0, 0));
    EXPECT_EQ(mask.pixelIndex(1, 0), 1);
    EXPECT_EQ(mask.pixelIndex(2, 0), 0);
    EXPECT_EQ(mask.pixelIndex(3, 1), 0);
    EXPECT_EQ(mask.pixelIndex(3, 2), 1);
}

TEST(MonochromeMask, AndKeepsOnlyBitsSetInBothMasks) {
    // 11 columns: a whole byte and three bits of the next.
    QImage a = monochromeMask(QSize(11, 1), filled(QSize(3, 1), Qt::red), QPoint(0, 0), 0);
    const QImage b = monochromeMask(QSize(11, 1), filled(QSize(2, 1), Qt::red), QPoint(9, 0), 0);
    andMask(a, b);
    for (int x = 0; x < 11; ++x) EXPECT_EQ(a.pixelIndex(x, 0), x >= 3 && x < 9 ? 1 : 0) << x;
}

// --- Timer -------------------------------------------------------------------------------

TEST(ToolkitTimer, AnIntervalOfZeroCountsAsEnabledButNeverFires) {
    TTimer timer(nullptr, QStringLiteral("Timer"), 0);
    int ticks = 0;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.setEnabled(true);
    EXPECT_TRUE(timer.Enabled());
    QTest::qWait(20);
    EXPECT_EQ(ticks, 0);
    timer.setEnabled(false);
    timer.setInterval(5);
    timer.setEnabled(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks > 0; }, 1000));
}

// --- Graphic control ------------------------------------------------------------------------

TEST(GraphicControl, PaintFindsWhatTheParentPaintsUnderTheControlOnItsCanvas) {
    Window w;
    EXPECT_GE(w.control->paints, 1);
    EXPECT_EQ(w.control->underSquareAtPaint, kParent.rgb());
    EXPECT_EQ(w.control->clipAtPaint, QRect(0, 0, 20, 20));
    const QImage shown = w.screen();
    EXPECT_EQ(shown.pixelColor(13, 13), QColor(Qt::red));
    EXPECT_EQ(shown.pixelColor(11, 11), kParent);
    EXPECT_EQ(shown.pixelColor(5, 5), kParent);
}

TEST(GraphicControl, DrawingOutsidePaintShowsWithoutPaintingAgain) {
    Window w;
    const int paints = w.control->paints;
    w.control->Canvas()->Brush.Color = RGB(0, 0, 255);
    w.control->Canvas()->FillRect(QRect(10, 10, 5, 5));
    const QImage shown = w.screen();
    EXPECT_EQ(shown.pixelColor(22, 22), QColor(Qt::blue));
    EXPECT_EQ(shown.pixelColor(13, 13), QColor(Qt::red));
    EXPECT_EQ(w.control->paints, paints);
    EXPECT_EQ(w.control->ClipRect(), QRect(0, 0, 20, 20));
}

TEST(GraphicControl, InvalidateAndAParentRepaintRunPaintAgain) {
    Window w;
    int paints = w.control->paints;
    w.control->Invalidate();
    w.settle();
    EXPECT_EQ(w.control->paints, ++paints);
    QPalette palette = w.window.palette();
    palette.setColor(QPalette::Window, Qt::green);
    w.window.setPalette(palette);
    w.settle();
    EXPECT_GT(w.control->paints, paints);
    EXPECT_EQ(w.control->underSquareAtPaint, QColor(Qt::green).rgb());
    EXPECT_EQ(w.screen().pixelColor(11, 11), QColor(Qt::green));
}

TEST(GraphicControl, MouseEventsReportTheButtonAndThePlace) {
    Window w;
    std::vector<QString> seen;
    const auto record = [&](const char* what) {
        return [&seen, what](TObject*, Qt::MouseButton button, Qt::KeyboardModifiers, int x,
                             int y) {
            seen.push_back(QStringLiteral("%1 %2 %3,%4").arg(what).arg(int(button)).arg(x).arg(y));
        };
    };
    w.control->OnMouseDown = record("down");
    w.control->OnMouseUp = record("up");
    w.control->OnClick = [&](TObject* sender) {
        EXPECT_EQ(sender, static_cast<TObject*>(w.control));
        seen.push_back(QStringLiteral("click"));
    };
    w.control->OnDblClick = [&](TObject*) { seen.push_back(QStringLiteral("double")); };
    QTest::mouseClick(w.control, Qt::LeftButton, {}, QPoint(4, 5));
    QTest::mouseClick(w.control, Qt::RightButton, {}, QPoint(6, 7));
    QTest::mouseDClick(w.control, Qt::LeftButton, {}, QPoint(1, 2));
    ASSERT_GE(seen.size(), 7u);
    EXPECT_EQ(seen[0], "down 1 4,5");
    EXPECT_EQ(seen[1], "up 1 4,5");
    EXPECT_EQ(seen[2], "click");
    EXPECT_EQ(seen[3], "down 2 6,7");
    EXPECT_EQ(seen[4], "up 2 6,7");
    EXPECT_NE(std::find(seen.begin() + 5, seen.end(), "double"), seen.end());
}
