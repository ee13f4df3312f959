#include <gtest/gtest.h>

#include <QFile>
#include <QSet>
#include <cstdio>

#include "animation_fixture.h"
#include "conformance_data.h"
#include "test_support.h"

// The control's compositions against the external suite's expected frames.
// The control sits at the top-left of a window of a known colour, so an
// expected transparent pixel must show that colour.

namespace {

QString suiteFolder() {
    const QString root = testDataDir();
    return root.isEmpty() ? QString() : root + "/pygif-gif-test-suite";
}

// The images after which the suite expects a frame: every image with a
// delay and the last one; a file without delays is one frame, or a frame
// per image when the suite forces it to animate.
std::vector<int> frameEnds(const TAnimatedImageList& list, const SuiteCase& c) {
    std::vector<int> ends;
    const int last = list.GetCount() - 1;
    bool anyDelay = false;
    for (int i = 0; i <= last; ++i) anyDelay |= list.GetDelayTime(i) > 0;
    const bool eachImage = !anyDelay && c.config("force-animation") == "yes";
    for (int i = 0; i <= last; ++i) {
        if (i == last || eachImage || list.GetDelayTime(i) > 0) ends.push_back(i);
    }
    return ends;
}

QByteArray expectedPixels(const QString& folder, const SuiteCase& c, const QString& frame) {
    QFile file(folder + "/" + c.sections.value(frame).value("pixels"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Cases where the control's rules part from the suite's rendering, with
// the rule. In them a pixel may also show the colour the rule gives (the
// animation's background colour, or the window behind the control), and
// somewhere one must.
struct Rule {
    const char* why;
    bool windowShows;  // else the background colour
};
const QMap<QString, Rule> kControlRules = {
    // A picture that is not see-through starts on the background colour,
    // also after disposal 2, where the suite leaves the screen clear.
    {"image-inside-bg", {"background fill", false}},
    {"image-overlap-bg", {"background fill", false}},
    {"image-outside-bg", {"background fill", false}},
    {"missing-pixels", {"background fill", false}},
    {"dispose-restore-background", {"background fill", false}},
    // Disposal 0 takes the picture away before the next one, as disposal
    // 2 does; images without a graphic control block have disposal 0.
    {"dispose-none", {"disposal 0 clears", false}},
    {"images-combine", {"disposal 0 clears", false}},
    {"animation-multi-image", {"disposal 0 clears", false}},
    {"high-color", {"disposal 0 clears", false}},
    // A transparent index beyond the table makes white the transparent
    // colour, and transparency goes by colour: white pixels show the window.
    {"invalid-transparent", {"transparent colour white", true}},
};

// The number of pixels that differ, and the first of them.
struct Difference {
    int count = 0;
    QString first;
};

// `alsoAllowed`, when valid, counts as a match for any pixel.
Difference compare(const QImage& shown, const QByteArray& rgba, QSize size, QColor alsoAllowed) {
    Difference d;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const auto* p = reinterpret_cast<const std::uint8_t*>(rgba.constData()) +
                            4 * (y * size.width() + x);
            const QColor got = shown.pixelColor(x, y);
            const bool same =
                got == alsoAllowed || (p[3] == 0 ? got == AnimationWindow::kParentColour
                                                 : got == QColor(p[0], p[1], p[2]));
            if (same) continue;
            if (d.count++ == 0) {
                d.first = QStringLiteral("(%1,%2) shows %3, expected %4 alpha %5")
                              .arg(x)
                              .arg(y)
                              .arg(got.name())
                              .arg(QColor(p[0], p[1], p[2]).name())
                              .arg(p[3]);
            }
        }
    }
    return d;
}

}  // namespace

TEST(AnimatedImageSuite, ComposedFramesMatchTheExpectedPixels) {
    const QString folder = suiteFolder();
    if (folder.isEmpty()) GTEST_SKIP() << "conformance data not present";
    int framesCompared = 0;
    QStringList differing;
    QSet<QString> differingByRule;
    for (const QString& name : suiteCaseNames(folder)) {
        const SuiteCase c = readSuiteCase(folder, name);
        if (c.frames().isEmpty()) continue;
        AnimationWindow w(QSize(c.config("width").toInt(), c.config("height").toInt()));
        w.control->SetAutoRun(false);
        w.control->SetAutoSize(true);
        TAnimatedImageList* images = w.control->GetImages();
        try {
            images->LoadFromFile(folder + "/" + c.config("input"));
        } catch (const Exception&) {
            continue;  // refusals are the decoder's own tests' business
        }
        if (images->GetCount() == 0) continue;
        const std::vector<int> ends = frameEnds(*images, c);
        EXPECT_EQ(int(ends.size()), c.frames().size()) << qPrintable(name);
        w.show();
        const QSize size(images->GetWidth(), images->GetHeight());
        std::size_t next = 0;
        for (int i = 0; i < images->GetCount() && next < ends.size(); ++i) {
            w.tick();
            if (i != ends[next]) continue;
            const QByteArray rgba = expectedPixels(folder, c, c.frames().value(int(next)));
            ASSERT_EQ(rgba.size(), size.width() * size.height() * 4) << qPrintable(name);
            const QImage shown = w.screen();
            const bool byRule = kControlRules.contains(name);
            const QColor allowed = !byRule ? QColor()
                                   : kControlRules.value(name).windowShows
                                       ? AnimationWindow::kParentColour
                                       : toQColor(images->GetBackgroundColor());
            if (byRule && compare(shown, rgba, size, QColor()).count > 0) differingByRule << name;
            const Difference d = compare(shown, rgba, size, allowed);
            if (d.count > 0) {
                differing << QStringLiteral("%1 frame %2: %3 pixels, first %4")
                                 .arg(name)
                                 .arg(next)
                                 .arg(d.count)
                                 .arg(d.first);
            }
            ++framesCompared;
            ++next;
        }
    }
    for (const QString& line : differing) ADD_FAILURE() << qPrintable(line);
    EXPECT_EQ(differingByRule, QSet<QString>(kControlRules.keyBegin(), kControlRules.keyEnd()));
    EXPECT_GE(framesCompared, 80);
    std::printf("%d frames compared\n", framesCompared);
}
