#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include "../gif/gif_bytes.h"
#include "gif/Zvqanmtn.h"
#include "imaging/Zvqgraph.h"
#include "viewer_window.h"

namespace {

const QColor kWindowColour(40, 90, 160);

// 40 x 30: a frame of 1 s, a frame at (10, 10) that waits for a click
// and is see-through (index 3), and a last frame of 1 s; two rounds.
QByteArray threeFrames() {
    QByteArray gif =
        gifHeader(40, 30, 2) + QByteArray("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x02\x00\x00", 19);
    gif += graphicControl(1, false, false, 100, 0) + imageDescriptor(0, 0, 40, 30) +
           literalImageData(std::vector<int>(1200, 1), 2);
    std::vector<int> holed(100, 2);
    holed[0] = 3;
    gif += graphicControl(1, true, true, 0, 3) + imageDescriptor(10, 10, 10, 10) +
           literalImageData(holed, 2);
    gif += graphicControl(1, false, false, 100, 0) + imageDescriptor(0, 0, 40, 30) +
           literalImageData(std::vector<int>(1200, 0), 2);
    return gif + ";";
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return path;
}

struct Viewer {
    QTemporaryDir dir;
    ViewerWindow window{kWindowColour};
    Viewer() {
        window.show();
        (void)QTest::qWaitForWindowExposed(&window);
    }
    QImage screen() {
        QCoreApplication::processEvents();
        return window.windowHandle()->screen()->grabWindow(window.winId()).toImage();
    }
};

}  // namespace

TEST(ZvqgifView, TheWindowTakesTheAnimationsSizeAndWaitsForAClick) {
    Viewer v;
    v.window.open(writeFile(v.dir, "three.gif", threeFrames()));
    TZVQ_AnimatedImage* control = v.window.findChild<TZVQ_AnimatedImage*>("AnimatedImage1");
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->size(), QSize(40, 30));
    QLabel* status = v.window.findChild<QLabel*>("StatusLine");
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return control->shownFrame() == 0; }, 1000));
    EXPECT_EQ(status->text(), "frame 1 of 3, 1000 ms, loop 1 of 2");
    EXPECT_TRUE(QTest::qWaitFor([&] { return control->shownFrame() == 1; }, 3000));
    EXPECT_EQ(status->text(), "frame 2 of 3, 0 ms, loop 1 of 2, click for the next frame");
    const QImage shown = v.screen();
    EXPECT_EQ(shown.pixelColor(10, 10), QColor(1, 2, 254)) << "see-through onto the first frame";
    EXPECT_EQ(shown.pixelColor(11, 10), QColor(2, 4, 253));
    QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(control->shownFrame(), 2);
    EXPECT_EQ(status->text(), "frame 3 of 3, 1000 ms, loop 1 of 2");
}

TEST(ZvqgifView, CtrlCCopiesTheFrameOnShow) {
    Viewer v;
    v.window.open(writeFile(v.dir, "three.gif", threeFrames()));
    TZVQ_AnimatedImage* control = v.window.AnimatedImage1;
    ASSERT_TRUE(QTest::qWaitFor([&] { return control->shownFrame() == 0; }, 1000));
    QTest::keyClick(&v.window, Qt::Key_C, Qt::ControlModifier);
    TDeviceIndependentBitmap pasted(TDIBFormat::dt24bit, 1, 1);
    pasted.PasteFromClipboard();
    EXPECT_EQ(pasted.GetWidth(), 40);
    EXPECT_EQ(pasted.toImage().pixelColor(5, 5), QColor(1, 2, 254));
}

TEST(ZvqgifView, ThePictureStretchesWithTheWindow) {
    Viewer v;
    v.window.open(writeFile(v.dir, "three.gif", threeFrames()));
    TZVQ_AnimatedImage* control = v.window.AnimatedImage1;
    v.window.resize(80, v.window.height() + 30);
    QCoreApplication::processEvents();
    EXPECT_EQ(control->size(), QSize(80, 60));
    EXPECT_TRUE(QTest::qWaitFor([&] { return control->imageRect() == QRect(0, 0, 80, 60); }, 1000));
    EXPECT_DOUBLE_EQ(control->horizontalScale(), 2.0);
}

TEST(ZvqgifView, AFileThatIsNoGifLeavesItsMessageInTheStatusLine) {
    Viewer v;
    v.window.open(writeFile(v.dir, "not.gif", "PNG, really"));
    EXPECT_EQ(v.window.StatusLine->text(), "Not a GIF Image stream");
    EXPECT_EQ(v.window.AnimatedImage1->GetImages()->GetCount(), 0);
}
