#include <gtest/gtest.h>

#include <sys/resource.h>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>

#include "animation_fixture.h"

// Playback with the real timer: frames follow each other at their delays,
// and a playing control leaves the processor nearly idle.

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A hundred frames of 64 x 64, 20 ms each, see-through in part, so that
// every tick runs the whole composition.
void fillHundredFrames(TAnimatedImageList* list) {
    list->SetWidth(64);
    list->SetHeight(64);
    for (int i = 0; i < 100; ++i) {
        QImage image(64, 64, QImage::Format_RGB32);
        image.fill(QColor::fromHsv(i * 3, 200, 200));
        for (int y = 0; y < 64; y += 2) image.setPixelColor(i % 64, y, Qt::magenta);
        const int index = list->Add(pictureFrame(image, Qt::magenta));
        list->SetDelayTime(index, 20);
        list->SetDisposalMethod(index, TDisposalMethods::dmLeaveInPlace);
    }
}

}  // namespace

TEST(AnimatedImageTiming, FramesKeepTheirDelaysAndPlayingCostsLittle) {
    AnimationWindow w(QSize(64, 64));
    w.control->SetAutoRun(false);
    fillHundredFrames(w.control->GetImages());
    w.show();
    QElapsedTimer clock;
    std::vector<qint64> shownAtNs;
    QObject::connect(w.control, &TCustomZVQAnimatedImage::frameShown,
                     [&](int) { shownAtNs.push_back(clock.nsecsElapsed()); });
    clock.start();
    const double cpuBefore = cpuSeconds();
    w.control->Run();
    // Two rounds of the hundred frames: four seconds.
    QTest::qWait(4000);
    const double cpuUsed = cpuSeconds() - cpuBefore;
    const double wall = double(clock.nsecsElapsed()) / 1e9;
    w.control->Stop();

    // A busy machine (sanitizers, tests in parallel) makes frames late, never
    // early: lateness is printed, not failed on.
    ASSERT_GT(shownAtNs.size(), 100u);
    std::vector<double> intervalsMs;
    for (std::size_t i = 1; i < shownAtNs.size(); ++i) {
        intervalsMs.push_back(double(shownAtNs[i] - shownAtNs[i - 1]) / 1e6);
    }
    std::sort(intervalsMs.begin(), intervalsMs.end());
    const double median = intervalsMs[intervalsMs.size() / 2];
    const double p95 = intervalsMs[intervalsMs.size() * 95 / 100];
    std::printf(
        "frames %zu, interval min %.2f median %.2f p95 %.2f max %.2f ms; cpu %.3f s of %.2f s "
        "(%.1f%%)\n",
        shownAtNs.size(), intervalsMs.front(), median, p95, intervalsMs.back(), cpuUsed, wall,
        100.0 * cpuUsed / wall);
    // The timer never fires early (it counts whole milliseconds).
    EXPECT_GE(intervalsMs.front(), 19.0);
    EXPECT_LT(cpuUsed / wall, 0.9);
}
