#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "animation_fixture.h"
#include "gif/gif_decoder.h"
#include "gif_bytes.h"
#include "toolkit/clipboard.h"

namespace {

const QColor kRed(200, 0, 0), kGreen(0, 180, 0), kBlue(0, 0, 220), kYellow(230, 230, 0);

// Frames of `size` in the given colours, each with `delay` ms.
void fill(TAnimatedImageList* list, QSize size, const std::vector<QColor>& colours,
          int delay = 100) {
    list->SetWidth(size.width());
    list->SetHeight(size.height());
    for (const QColor& colour : colours)
        list->SetDelayTime(list->Add(solidFrame(size, colour)), delay);
}

// A picture of `colour` with a `hole` of the transparent colour (magenta).
std::unique_ptr<TDeviceIndependentBitmap> frameWithHole(QSize size, QColor colour, QRect hole) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    for (int y = hole.top(); y <= hole.bottom(); ++y)
        for (int x = hole.left(); x <= hole.right(); ++x) image.setPixelColor(x, y, Qt::magenta);
    return pictureFrame(image, Qt::magenta);
}

// The images list is filled while the control is stopped, then shown.
struct Playback : AnimationWindow {
    explicit Playback(QSize windowSize = QSize(100, 100)) : AnimationWindow(windowSize) {
        control->SetAutoRun(false);
    }
    TAnimatedImageList* images() { return control->GetImages(); }
};

}  // namespace

// --- Placement and size -----------------------------------------------------------

TEST(AnimatedImagePlacement, CenterPutsTheAnimationInTheMiddleOfTheControl) {
    Playback p;
    p.control->resize(100, 100);
    p.control->SetCenter(true);
    fill(p.images(), QSize(60, 40), {kRed});
    const QRect r = p.control->imageRect();
    EXPECT_EQ(QRect(QPoint(r.left(), r.top()), QPoint(r.left() + r.width(), r.top() + r.height())),
              QRect(QPoint(20, 30), QPoint(80, 70)));
    p.show();
    const QImage shown = p.screen();
    EXPECT_EQ(pixelAt(shown, 20, 30), kRed);
    EXPECT_EQ(pixelAt(shown, 79, 69), kRed);
    EXPECT_EQ(pixelAt(shown, 19, 30), AnimationWindow::kParentColour);
    EXPECT_EQ(pixelAt(shown, 80, 69), AnimationWindow::kParentColour);
    EXPECT_EQ(pixelAt(shown, 50, 70), AnimationWindow::kParentColour);
}

TEST(AnimatedImagePlacement, StretchDoublesEveryFrameAndItsOrigin) {
    Playback p;
    p.control->resize(100, 100);
    p.control->SetStretch(true);
    p.images()->SetWidth(50);
    p.images()->SetHeight(50);
    p.images()->Add(solidFrame(QSize(50, 50), kBlue));
    p.images()->Insert(1, solidFrame(QSize(10, 6), kRed));
    p.images()->SetOrigin(1, QPoint(5, 7));
    p.images()->SetDisposalMethod(0, TDisposalMethods::dmLeaveInPlace);
    // The origin is read when the frame is cached: cache it again.
    p.control->SetStretch(false);
    p.control->SetStretch(true);
    EXPECT_DOUBLE_EQ(p.control->horizontalScale(), 2.0);
    EXPECT_DOUBLE_EQ(p.control->verticalScale(), 2.0);
    const TBitmapList* frames = p.control->frameCache();
    EXPECT_EQ(frames->GetItems(1)->Image().size(), QSize(20, 12));
    EXPECT_EQ(frames->GetOrigin(1), QPoint(10, 14));
    EXPECT_EQ(p.control->maskCache()->GetItems(1)->Image().size(), QSize(20, 12));
    p.show();
    p.tick();
    p.tick();
    const QImage shown = p.screen();
    EXPECT_EQ(pixelAt(shown, 10, 14), kRed);
    EXPECT_EQ(pixelAt(shown, 29, 25), kRed);
    EXPECT_EQ(pixelAt(shown, 9, 14), kBlue);
    EXPECT_EQ(pixelAt(shown, 30, 26), kBlue);
    EXPECT_EQ(pixelAt(shown, 99, 99), kBlue);
}

TEST(AnimatedImagePlacement, StretchFollowsTheControlsSizeAndFillsItWhenCentred) {
    Playback p(QSize(200, 120));
    p.control->resize(100, 100);
    p.control->SetStretch(true);
    p.control->SetCenter(true);
    fill(p.images(), QSize(50, 25), {kGreen});
    EXPECT_EQ(p.control->imageRect(), QRect(0, 0, 100, 100));
    p.show();
    p.control->resize(150, 50);
    p.settle();
    EXPECT_DOUBLE_EQ(p.control->horizontalScale(), 3.0);
    EXPECT_DOUBLE_EQ(p.control->verticalScale(), 2.0);
    EXPECT_EQ(p.control->imageRect(), QRect(0, 0, 150, 50));
    const QImage shown = p.screen();
    EXPECT_EQ(pixelAt(shown, 149, 49), kGreen);
    EXPECT_EQ(pixelAt(shown, 150, 49), AnimationWindow::kParentColour);
}

TEST(AnimatedImagePlacement, AStretchedControlGrownPastTheLimitKeepsItsPicture) {
    Playback p(QSize(200, 200));
    p.control->resize(100, 100);
    p.control->SetStretch(true);
    p.images()->decoder()->setPixelLimit(40000);  // bitmaps of 20000 pixels at most
    fill(p.images(), QSize(50, 25), {kGreen});
    p.show();
    p.control->resize(150, 150);
    p.settle();  // painting must not raise
    EXPECT_DOUBLE_EQ(p.control->horizontalScale(), 2.0);
    EXPECT_EQ(pixelAt(p.screen(), 99, 99), kGreen);
    p.control->resize(120, 120);
    p.settle();
    EXPECT_DOUBLE_EQ(p.control->horizontalScale(), 120.0 / 50);
}

TEST(AnimatedImagePlacement, TurningStretchOffBringsBackTheScreensOwnSize) {
    Playback p;
    p.control->resize(100, 100);
    p.control->SetStretch(true);
    fill(p.images(), QSize(50, 50), {kGreen});
    ASSERT_EQ(p.control->frameCache()->GetItems(0)->Image().size(), QSize(100, 100));
    p.control->SetStretch(false);
    EXPECT_DOUBLE_EQ(p.control->horizontalScale(), 1.0);
    EXPECT_EQ(p.control->frameCache()->GetItems(0)->Image().size(), QSize(50, 50));
    EXPECT_EQ(p.control->imageRect(), QRect(0, 0, 50, 50));
}

TEST(AnimatedImagePlacement, AutoSizeGivesTheControlTheScreensSizeAtTheFirstFrame) {
    Playback p;
    p.control->move(7, 9);
    p.control->SetAutoSize(true);
    fill(p.images(), QSize(33, 21), {kRed, kGreen});
    EXPECT_EQ(p.control->geometry(), QRect(7, 9, 33, 21));
}

// --- Playing ------------------------------------------------------------------------

TEST(AnimatedImagePlayback, EachFrameStaysItsOwnDelayAndNoDelayMeansFiveMilliseconds) {
    Playback p;
    fill(p.images(), QSize(4, 4), {kRed, kGreen, kBlue}, 0);
    p.images()->SetDelayTime(1, 70);
    p.control->Run();
    EXPECT_EQ(p.control->timer()->interval(), 5) << "the first frame comes at once";
    EXPECT_TRUE(p.control->timer()->isActive());
    p.tick();
    EXPECT_EQ(p.control->shownFrame(), 0);
    EXPECT_EQ(p.control->timer()->interval(), 5);
    p.tick();
    EXPECT_EQ(p.control->shownFrame(), 1);
    EXPECT_EQ(p.control->timer()->interval(), 70);
    p.tick();
    EXPECT_EQ(p.control->timer()->interval(), 5);
}

TEST(AnimatedImagePlayback, ASingleFrameIsShownOnceAndTheTimerStaysOff) {
    Playback p;
    fill(p.images(), QSize(10, 10), {kYellow});
    p.control->Run();
    ASSERT_TRUE(p.control->timer()->Enabled());
    p.control->HandleTimeout();
    EXPECT_FALSE(p.control->timer()->Enabled());
    EXPECT_FALSE(p.control->timer()->isActive());
    EXPECT_EQ(p.control->shownFrame(), 0);
}

TEST(AnimatedImagePlayback, LoopCountTwoPlaysTheFramesTwiceAndStaysOnTheLastOne) {
    Playback p;
    fill(p.images(), QSize(10, 10), {kRed, kGreen, kBlue});
    p.images()->SetLoopCount(2);
    p.images()->Add(solidFrame(QSize(10, 10), kYellow));  // loops are counted as frames arrive
    p.show();
    p.control->Run();
    std::vector<int> shown;
    while (p.control->timer()->Enabled() && shown.size() < 20) {
        p.tick();
        shown.push_back(p.control->shownFrame());
    }
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 2, 3, 0, 1, 2, 3}));
    EXPECT_EQ(pixelAt(p.screen(), 5, 5), kYellow);
}

TEST(AnimatedImagePlayback, LoopCountZeroRepeatsUntilStopped) {
    Playback p;
    fill(p.images(), QSize(10, 10), {kRed, kGreen});
    p.control->Run();
    for (int i = 0; i < 25; ++i) p.tick();
    EXPECT_TRUE(p.control->timer()->Enabled());
    EXPECT_EQ(p.control->shownFrame(), 0);
    p.control->Stop();
    EXPECT_FALSE(p.control->timer()->Enabled());
}

TEST(AnimatedImagePlayback, TheLoopCountOfALoadedFileEndsThePlay) {
    // Two 1 x 1 frames and a looping extension asking for two rounds.
    const QByteArray gif = gifHeader(1, 1, 1) +
                           QByteArray("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x02\x00\x00", 19) +
                           graphicControl(1, false, false, 1, 0) + imageDescriptor(0, 0, 1, 1) +
                           literalImageData({0}, 2) + graphicControl(1, false, false, 1, 0) +
                           imageDescriptor(0, 0, 1, 1) + literalImageData({1}, 2) + ";";
    Playback p;
    TMemoryStream stream(gif);
    p.images()->LoadFromStream(&stream);
    EXPECT_EQ(p.control->loopsRemaining(), 3);
    p.control->Run();
    int ticks = 0;
    while (p.control->timer()->Enabled() && ticks < 20) {
        p.tick();
        ++ticks;
    }
    EXPECT_EQ(ticks, 4);
    EXPECT_EQ(p.control->shownFrame(), 1);
}

TEST(AnimatedImagePlayback, AUserInputFrameWithoutDelayWaitsForAClick) {
    Playback p;
    fill(p.images(), QSize(20, 20), {kRed, kGreen, kBlue}, 0);
    p.images()->SetUserInput(1, true);
    p.images()->SetDelayTime(2, 1000);
    p.show();
    p.control->Run();
    p.tick();
    p.tick();  // frame 1, which asks for input
    EXPECT_EQ(p.control->shownFrame(), 1);
    EXPECT_TRUE(p.control->waitingForInput());
    EXPECT_TRUE(p.control->timer()->Enabled());
    EXPECT_FALSE(p.control->timer()->isActive()) << "a delay of 0 never fires";
    QTest::qWait(30);
    EXPECT_EQ(p.control->shownFrame(), 1);
    QTest::mouseClick(p.control, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(p.control->shownFrame(), 2);
    EXPECT_EQ(pixelAt(p.screen(), 5, 5), kBlue);
    // Frame 2 asks for nothing: a click leaves it to its timer.
    QTest::mouseClick(p.control, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(p.control->shownFrame(), 2);
}

TEST(AnimatedImagePlayback, AUserInputFrameWithADelayGoesOnByItselfOrAtAClick) {
    Playback p;
    fill(p.images(), QSize(20, 20), {kRed, kGreen, kBlue}, 40);
    for (int i = 0; i < 3; ++i) p.images()->SetUserInput(i, true);
    p.control->Run();
    EXPECT_TRUE(QTest::qWaitFor([&] { return p.control->shownFrame() == 0; }, 1000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return p.control->shownFrame() == 1; }, 1000)) << "by itself";
    p.control->UserInput();
    EXPECT_EQ(p.control->shownFrame(), 2) << "at once";
    p.control->Stop();
    ASSERT_TRUE(p.control->waitingForInput());
    p.control->UserInput();  // a stopped control waits for nobody
    EXPECT_EQ(p.control->shownFrame(), 2);
    EXPECT_FALSE(p.control->timer()->Enabled());
}

// --- Frames arriving and leaving ------------------------------------------------------

TEST(AnimatedImageFrames, DeletingTheLastFrameWhilePlayingStopsAndShowsTheBackground) {
    AnimationWindow w;
    fill(w.control->GetImages(), QSize(30, 30), {kRed});
    w.show();
    ASSERT_TRUE(w.control->timer()->Enabled());
    ASSERT_EQ(pixelAt(w.screen(), 10, 10), kRed);
    w.control->GetImages()->Delete(0);
    EXPECT_FALSE(w.control->timer()->Enabled());
    EXPECT_EQ(w.control->frameCache()->GetCount(), 0);
    EXPECT_EQ(w.control->maskCache()->GetCount(), 0);
    EXPECT_EQ(pixelAt(w.screen(), 10, 10), AnimationWindow::kParentColour);
}

TEST(AnimatedImageFrames, DeletingTheFrameDueNextAtTheEndGoesBackToTheFirst) {
    Playback p;
    fill(p.images(), QSize(10, 10), {kRed, kGreen, kBlue});
    p.control->Run();
    p.tick();
    p.tick();
    ASSERT_EQ(p.control->currentFrame(), 2);
    p.images()->Delete(2);
    EXPECT_EQ(p.control->currentFrame(), 0);
    EXPECT_EQ(p.control->frameCache()->GetCount(), 2);
    p.images()->Delete(0);
    EXPECT_EQ(p.control->shownFrame(), 0) << "frame 1 moved down to 0";
}

TEST(AnimatedImageFrames, FramesLoadedFromAFileAreCachedAtTheirOrigins) {
    // A 3 x 2 screen: a full red picture, then one white pixel at (2, 1).
    const QByteArray gif = gifHeader(3, 2, 2) + graphicControl(1, false, false, 0, 0) +
                           imageDescriptor(0, 0, 3, 2, 1) +
                           literalImageData({0, 0, 0, 0, 0, 0}, 2) +
                           graphicControl(1, false, false, 0, 0) + imageDescriptor(2, 1, 1, 1, 1) +
                           literalImageData({1}, 2) + ";";
    Playback p;
    TMemoryStream stream(gif);
    p.images()->LoadFromStream(&stream);
    EXPECT_EQ(p.control->frameCache()->GetOrigin(1), QPoint(2, 1));
    EXPECT_EQ(p.control->maskCache()->GetItems(1)->Image().size(), QSize(1, 1));
    p.show();
    p.tick();
    p.tick();
    const QImage shown = p.screen();
    EXPECT_EQ(pixelAt(shown, 2, 1), QColor(254, 1, 0));
    EXPECT_EQ(pixelAt(shown, 1, 1), QColor(255, 0, 0));
}

TEST(AnimatedImageFrames, AssigningImagesCopiesTheListAndStartsPlaying) {
    AnimationWindow w;
    TAnimatedImageList source;
    fill(&source, QSize(40, 20), {kRed, kGreen}, 30);
    source.SetBackgroundColor(fromQColor(kBlue));
    w.control->setProperty("Images", QVariant::fromValue(&source));
    source.Delete(1);
    TAnimatedImageList* images = w.control->GetImages();
    ASSERT_NE(images, &source);
    EXPECT_EQ(images->GetCount(), 2);
    EXPECT_EQ(images->GetDelayTime(1), 30);
    EXPECT_EQ(w.control->frameCache()->GetCount(), 2);
    EXPECT_EQ(w.control->GetBackgroundColor(), fromQColor(kBlue));
    EXPECT_TRUE(w.control->timer()->isActive());
    EXPECT_EQ(w.control->imageRect(), QRect(0, 0, 40, 20));
}

TEST(AnimatedImageFrames, PlayingStartsWhileTheFileIsStillLoading) {
    // Thirty frames of 10 ms; every read of the load is slowed down, as a
    // slow disk would.
    QByteArray gif = gifHeader(8, 8, 2);
    for (int i = 0; i < 30; ++i) {
        gif += graphicControl(1, false, false, 1, 0) + imageDescriptor(0, 0, 8, 8) +
               literalImageData(std::vector<int>(64, i % 4), 2);
    }
    gif += ";";
    AnimationWindow w;
    w.show();
    int framesShownWhileLoading = 0;
    bool wentBackWhileLoading = false;
    int lastShown = -1;
    QObject::connect(w.control, &TCustomZVQAnimatedImage::frameShown, [&](int index) {
        if (w.control->GetImages()->GetState() != TAnimatedImageState::isLoading) return;
        ++framesShownWhileLoading;
        wentBackWhileLoading |= index < lastShown;
        lastShown = index;
    });
    int reports = 0;
    w.control->OnProgress = [&](TObject* sender) {
        EXPECT_EQ(sender, static_cast<TObject*>(w.control));
        ++reports;
        QTest::qWait(2);
    };
    TMemoryStream stream(gif);
    w.control->GetImages()->LoadFromStream(&stream);
    EXPECT_GT(reports, 30);
    EXPECT_GE(framesShownWhileLoading, 2);
    EXPECT_FALSE(wentBackWhileLoading) << "the last frame waits for more while loading";
    EXPECT_EQ(w.control->frameCache()->GetCount(), 30);
}

TEST(AnimatedImageFrames, CopyPutsTheFrameOnShowOnTheClipboard) {
    Playback p;
    fill(p.images(), QSize(6, 3), {kRed, kGreen});
    p.control->Run();
    p.tick();
    p.tick();
    ASSERT_EQ(p.control->shownFrame(), 1);
    Clipboard()->Clear();
    p.control->CopyToClipboard();
    TDeviceIndependentBitmap pasted(TDIBFormat::dt24bit, 1, 1);
    pasted.PasteFromClipboard();
    const QImage image = pasted.toImage();
    EXPECT_EQ(image.size(), QSize(6, 3));
    EXPECT_EQ(image.pixelColor(0, 0), kGreen);
}

// --- Composition ----------------------------------------------------------------------

TEST(AnimatedImageComposition, TransparentPixelsShowTheParentOrTheBackgroundColour) {
    Playback p;
    p.images()->SetWidth(20);
    p.images()->SetHeight(20);
    p.images()->SetBackgroundColor(fromQColor(kYellow));
    p.images()->Add(frameWithHole(QSize(10, 10), kRed, QRect(2, 2, 3, 3)));
    p.images()->SetOrigin(0, QPoint(5, 5));
    p.control->SetStretch(true);  // caches the frame again with its origin
    p.control->SetStretch(false);
    p.show();
    QImage shown = p.screen();
    EXPECT_EQ(pixelAt(shown, 5, 5), kRed);
    EXPECT_EQ(pixelAt(shown, 8, 8), AnimationWindow::kParentColour);
    EXPECT_EQ(pixelAt(shown, 1, 1), AnimationWindow::kParentColour);
    EXPECT_FALSE(p.control->testAttribute(Qt::WA_OpaquePaintEvent));

    p.control->SetTransparent(false);
    shown = p.screen();
    EXPECT_TRUE(p.control->testAttribute(Qt::WA_OpaquePaintEvent));
    EXPECT_EQ(pixelAt(shown, 8, 8), Qt::magenta) << "the transparent colour itself";
    EXPECT_EQ(pixelAt(shown, 1, 1), kYellow);
}

TEST(AnimatedImageComposition, AFrameLeftInPlaceShowsThroughTheNextOnesHoles) {
    Playback p;
    p.images()->SetWidth(10);
    p.images()->SetHeight(10);
    p.images()->Add(frameWithHole(QSize(10, 10), kRed, QRect(0, 0, 5, 10)));
    p.images()->Add(frameWithHole(QSize(10, 10), kBlue, QRect(0, 0, 10, 5)));
    p.images()->SetDisposalMethod(0, TDisposalMethods::dmLeaveInPlace);
    p.show();
    p.control->Run();
    p.tick();
    p.tick();
    const QImage shown = p.screen();
    EXPECT_EQ(pixelAt(shown, 2, 2), AnimationWindow::kParentColour) << "both frames see-through";
    EXPECT_EQ(pixelAt(shown, 7, 2), kRed) << "the first frame under the second's hole";
    EXPECT_EQ(pixelAt(shown, 2, 7), kBlue);
    EXPECT_EQ(pixelAt(shown, 7, 7), kBlue);
    // Only the part both frames leave open lets the background through.
    const QImage& mask = p.control->currentMask()->Image();
    EXPECT_EQ(mask.pixelIndex(2, 2), 1);
    EXPECT_EQ(mask.pixelIndex(7, 2), 0);
    EXPECT_EQ(mask.pixelIndex(2, 7), 0);
}

TEST(AnimatedImageComposition, RestoringThePreviousPictureAndTheBackground) {
    Playback p;
    fill(p.images(), QSize(10, 10), {kRed});
    p.images()->Add(frameWithHole(QSize(4, 4), kGreen, QRect(0, 0, 1, 1)));
    p.images()->Add(frameWithHole(QSize(4, 4), kBlue, QRect(0, 0, 1, 1)));
    p.images()->Add(frameWithHole(QSize(10, 10), kYellow, QRect(0, 0, 10, 9)));
    p.images()->SetDisposalMethod(0, TDisposalMethods::dmLeaveInPlace);
    p.images()->SetDisposalMethod(1, TDisposalMethods::dmRestorePrevious);
    p.images()->SetDisposalMethod(2, TDisposalMethods::dmRestoreBackground);
    p.images()->SetOrigin(2, QPoint(6, 6));
    p.control->SetStretch(true);
    p.control->SetStretch(false);
    p.show();
    p.control->Run();
    p.tick();
    p.tick();
    EXPECT_EQ(pixelAt(p.screen(), 1, 1), kGreen);
    p.tick();
    QImage shown = p.screen();
    EXPECT_EQ(pixelAt(shown, 1, 1), kRed) << "the green frame taken away again";
    EXPECT_EQ(pixelAt(shown, 7, 7), kBlue);
    EXPECT_EQ(pixelAt(shown, 6, 6), kRed);
    p.tick();
    shown = p.screen();
    EXPECT_EQ(pixelAt(shown, 7, 7), AnimationWindow::kParentColour) << "the whole screen restored";
    EXPECT_EQ(pixelAt(shown, 1, 1), AnimationWindow::kParentColour);
    EXPECT_EQ(pixelAt(shown, 1, 9), kYellow);
}

TEST(AnimatedImageComposition, ANewParentBackgroundShowsThroughFromTheNextFrameOn) {
    Playback p;
    p.images()->SetWidth(10);
    p.images()->SetHeight(10);
    p.images()->Add(frameWithHole(QSize(10, 10), kRed, QRect(0, 0, 5, 5)));
    p.show();
    ASSERT_EQ(pixelAt(p.screen(), 1, 1), AnimationWindow::kParentColour);
    QPalette palette = p.window.palette();
    palette.setColor(QPalette::Window, kBlue);
    p.window.setPalette(palette);
    p.settle();
    p.control->Run();
    p.tick();
    const QImage shown = p.screen();
    EXPECT_EQ(pixelAt(shown, 1, 1), kBlue);
    EXPECT_EQ(pixelAt(shown, 7, 7), kRed);
}
