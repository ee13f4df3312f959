#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "../gif/composed_animation.h"
#include "../gif/hostile_gifs.h"
#include "gif/Zvqgif.h"
#include "toolkit/streams.h"

namespace {

struct ToolRun {
    int exitCode = -1;
    QString err;
};

ToolRun zvqgif(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(ZVQGIF_PROGRAM), args);
    process.waitForFinished(60000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A square moving over a background: stripes of two colours, or a
// gradient of thousands. Written as PNG files; their names in order.
QStringList movingSquare(const QTemporaryDir& dir, bool gradient, std::vector<QImage>* frames = nullptr) {
    QStringList names;
    for (int i = 0; i < 5; ++i) {
        QImage frame(60, 40, QImage::Format_RGB32);
        for (int y = 0; y < 40; ++y) {
            for (int x = 0; x < 60; ++x) {
                frame.setPixel(x, y, gradient ? qRgb(x * 4, y * 6, (x + y) * 2) : (x / 5 + y / 4) % 2 ? qRgb(20, 90, 160) : qRgb(250, 240, 200));
            }
        }
        for (int y = 12; y < 24; ++y) {
            for (int x = 4 + 8 * i; x < 16 + 8 * i; ++x) frame.setPixel(x, y, qRgb(220, 30, 30));
        }
        names << dir.filePath(QStringLiteral("frame-%1.png").arg(i));
        frame.save(names.back());
        if (frames) frames->push_back(frame);
    }
    return names;
}

}  // namespace

// Every frame as before, with its delay, in fewer bytes; a file the
// optimiser cannot make smaller is left as it is.
TEST(ZvqgifOptimize, RewritesAnyGifShowingTheSameFramesNeverLarger) {
    QTemporaryDir dir;
    for (int disposal = 0; disposal < 4; ++disposal) {
        const QByteArray plain = plainFile(testPictures({TDisposalMethods(disposal), disposal % 2 == 1, disposal > 1, 7}));
        writeAll(dir.filePath("plain.gif"), plain);
        const ToolRun run = zvqgif({"optimize", dir.filePath("plain.gif"), dir.filePath("small.gif")});
        ASSERT_EQ(run.exitCode, 0) << qPrintable(run.err);
        const QByteArray small = readAll(dir.filePath("small.gif"));
        EXPECT_LT(small.size(), plain.size());
        EXPECT_EQ(joinedStills(composeWithOurDecoder(small)).frames, joinedStills(composeWithOurDecoder(plain)).frames);
        // Once more: nothing left to gain, so the bytes stay.
        ASSERT_EQ(zvqgif({"optimize", dir.filePath("small.gif"), dir.filePath("again.gif")}).exitCode, 0);
        const QByteArray again = readAll(dir.filePath("again.gif"));
        EXPECT_LE(again.size(), small.size());
        if (again.size() == small.size()) {
            EXPECT_EQ(again, small);
        }
        // Written over its own input.
        ASSERT_EQ(zvqgif({"optimize", dir.filePath("plain.gif"), dir.filePath("plain.gif")}).exitCode, 0);
        EXPECT_EQ(readAll(dir.filePath("plain.gif")), small);
        ASSERT_EQ(zvqgif({"optimize", dir.filePath("small.gif"), dir.filePath("small.gif")}).exitCode, 0);
        EXPECT_EQ(readAll(dir.filePath("small.gif")), again.size() < small.size() ? again : small);
    }
    // The loop count and the comments, each where it stood.
    TMemoryStream commented;
    {
        const std::vector<TestPicture> pictures = testPictures({});
        TZVQ_GIFCompressor encoder;
        encoder.OpenImageStream(&commented);
        encoder.WriteLoopControl(3);
        for (std::size_t i = 0; i < 3; ++i) {
            encoder.WriteComment(QByteArray("before ") + char('0' + i));
            encoder.WriteGIFGraphic(pictures[i].dib.get(), pictures[i].info);
        }
        encoder.WriteComment("at the end");
        encoder.CloseImageStream();
    }
    writeAll(dir.filePath("commented.gif"), commented.bytes());
    ASSERT_EQ(zvqgif({"optimize", dir.filePath("commented.gif"), dir.filePath("out.gif")}).exitCode, 0);
    const QByteArray out = readAll(dir.filePath("out.gif"));
    EXPECT_EQ(blockOrder(out), blockOrder(commented.bytes()));
    EXPECT_EQ(blockOrder(out), QStringList({"loop 3", "before 0", "image", "before 1", "image", "before 2", "image", "at the end"}));
    EXPECT_EQ(composeWithOurDecoder(out).frames, composeWithOurDecoder(commented.bytes()).frames);

    // Frames whose colours crowd out the others' where the optimiser would
    // join them: the file's own frames stand.
    const QByteArray crowded = plainFile(crowdedTestPictures(1902), 24, 24);
    writeAll(dir.filePath("crowded.gif"), crowded);
    const ToolRun crowdedRun = zvqgif({"optimize", dir.filePath("crowded.gif"), dir.filePath("out.gif")});
    ASSERT_EQ(crowdedRun.exitCode, 0) << qPrintable(crowdedRun.err);
    const QByteArray uncrowded = readAll(dir.filePath("out.gif"));
    EXPECT_LE(uncrowded.size(), crowded.size());
    EXPECT_EQ(joinedStills(composeWithOurDecoder(uncrowded)).frames, joinedStills(composeWithOurDecoder(crowded)).frames);

    writeAll(dir.filePath("huge.gif"), hugeScreenGif());
    const ToolRun huge = zvqgif({"optimize", dir.filePath("huge.gif"), dir.filePath("out.gif")});
    EXPECT_EQ(huge.exitCode, 1);
    EXPECT_TRUE(huge.err.contains("over the limit of 67108864 pixels")) << qPrintable(huge.err);
    EXPECT_EQ(zvqgif({"optimize", dir.filePath("plain.gif"), dir.filePath("out.gif"), "--pixel-limit", "1000"}).exitCode, 1);
    writeAll(dir.filePath("broken.gif"), QByteArray("GIF89a\x02"));
    const ToolRun broken = zvqgif({"optimize", dir.filePath("broken.gif"), dir.filePath("out.gif")});
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_TRUE(broken.err.startsWith("zvqgif: ")) << qPrintable(broken.err);
}

// A file cut short gives the frames before the cut, written smaller, and
// fails with the fault.
TEST(ZvqgifOptimize, ADamagedFileGivesTheFramesBeforeTheFault) {
    QTemporaryDir dir;
    const QByteArray plain = plainFile(testPictures({TDisposalMethods(1), false, true, 3}));
    writeAll(dir.filePath("cut.gif"), plain.left(plain.size() * 2 / 3));
    const ToolRun run = zvqgif({"optimize", dir.filePath("cut.gif"), dir.filePath("out.gif")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QRegularExpression("^zvqgif: .+ after \\d+ images of .*cut.gif: .*out.gif shows those")))
        << qPrintable(run.err);
    const ShownAnimation shown = joinedStills(composeWithOurDecoder(readAll(dir.filePath("out.gif"))));
    const ShownAnimation whole = joinedStills(composeWithOurDecoder(plain));
    ASSERT_GT(shown.frames.size(), 1u);
    ASSERT_LT(shown.frames.size(), whole.frames.size());
    for (std::size_t i = 0; i < shown.frames.size(); ++i) EXPECT_EQ(shown.frames[i].pixels, whole.frames[i].pixels) << i;
}

// Pictures of few colours come out exactly, optimised or not, on one
// palette or one each; only the optimised file is cut to what changes.
TEST(ZvqgifAnimate, OptimisesByDefaultAndKeepsFewColoursExactly) {
    QTemporaryDir dir;
    std::vector<QImage> frames;
    const QStringList pictures = movingSquare(dir, false, &frames);
    ShownAnimation expected{60, 40, {}};
    for (const QImage& frame : frames) expected.frames.push_back(shownFrame(frame, 50));
    std::map<QString, qsizetype> sizes;
    for (const QStringList& options : {QStringList{}, QStringList{"--palette", "per-frame"}, QStringList{"--no-optimize"}}) {
        const QString out = dir.filePath("out.gif");
        const ToolRun run = zvqgif(QStringList{"animate", out, "--delay", "50", "--quality", "high"} + options + pictures);
        ASSERT_EQ(run.exitCode, 0) << qPrintable(run.err);
        const QByteArray bytes = readAll(out);
        EXPECT_EQ(composeWithOurDecoder(bytes).frames, expected.frames) << qPrintable(options.join(' '));
        sizes[options.join(' ')] = bytes.size();
    }
    EXPECT_LT(sizes[""], sizes["--no-optimize"] / 2);
    EXPECT_EQ(zvqgif(QStringList{"animate", dir.filePath("x.gif"), "--palette", "some"} + pictures).exitCode, 2);
}

// A clip longer than the pictures read at a time, with a smaller picture in
// the middle: left in place, it is drawn over the corner of the one before;
// cleared away, it shows alone. Every frame as drawn either way. Of two
// pictures that cannot be read, the first is told about.
TEST(ZvqgifAnimate, LongClipsOfMixedSizesShowEveryPictureAsDrawn) {
    QTemporaryDir dir;
    QStringList pictures;
    ShownAnimation leftInPlace{60, 40, {}}, cleared{60, 40, {}};
    QImage screen;
    for (int i = 0; i < 30; ++i) {
        const bool small = i == 13;
        QImage picture(small ? 30 : 60, small ? 20 : 40, QImage::Format_RGB32);
        picture.fill(small ? qRgb(0, 160, 0) : qRgb(250, 240, 200));
        for (int y = 12; y < 24 && !small; ++y) {
            for (int x = i; x < i + 12; ++x) picture.setPixel(x, y, qRgb(220, 30, 30));
        }
        pictures << dir.filePath(QStringLiteral("frame-%1.png").arg(i));
        ASSERT_TRUE(picture.save(pictures.back()));
        QImage alone(60, 40, QImage::Format_ARGB32);
        alone.fill(Qt::transparent);
        if (small) {
            for (int y = 0; y < 20; ++y) {
                for (int x = 0; x < 30; ++x) {
                    screen.setPixel(x, y, picture.pixel(x, y));
                    alone.setPixel(x, y, picture.pixel(x, y));
                }
            }
        } else {
            screen = picture;
            alone = picture;
        }
        leftInPlace.frames.push_back(shownFrame(screen, 50));
        cleared.frames.push_back(shownFrame(alone, 50));
    }
    const QString out = dir.filePath("out.gif");
    for (const char* disposal : {"none", "background"}) {
        const ToolRun run = zvqgif(QStringList{"animate", out, "--delay", "50", "--disposal", disposal} + pictures);
        ASSERT_EQ(run.exitCode, 0) << qPrintable(run.err);
        const ShownAnimation& expected = QByteArray(disposal) == "none" ? leftInPlace : cleared;
        EXPECT_EQ(joinedStills(composeWithOurDecoder(readAll(out))).frames, joinedStills(expected).frames) << disposal;
    }

    QStringList broken = pictures;
    broken[20] = dir.filePath("missing-20.png");
    broken[11] = dir.filePath("missing-11.png");
    const ToolRun failed = zvqgif(QStringList{"animate", out} + broken);
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_TRUE(failed.err.contains("missing-11.png")) << qPrintable(failed.err);
}

// On a background of thousands of colours, what does not move keeps its
// colours from frame to frame: only the moving square is dithered anew.
TEST(ZvqgifAnimate, StillPartsOfTrueColourClipsDoNotShimmer) {
    QTemporaryDir dir;
    const QStringList pictures = movingSquare(dir, true);
    const QString out = dir.filePath("out.gif");
    ASSERT_EQ(zvqgif(QStringList{"animate", out} + pictures).exitCode, 0);
    const ShownAnimation shown = composeWithOurDecoder(readAll(out));
    ASSERT_EQ(shown.frames.size(), 5u);
    int differing = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 60; ++x) {
            const bool square = y >= 12 && y < 24;
            const std::size_t at = std::size_t(y * 60 + x);
            if (!square) differing += shown.frames[4].pixels[at] != shown.frames[0].pixels[at];
        }
    }
    EXPECT_EQ(differing, 0);
}

// On a background of thousands of colours, one palette for the clip and
// one for each picture both keep every frame close to its picture (a few
// levels of 255 on average, as dithering leaves them).
TEST(ZvqgifAnimate, TrueColourClipsStayCloseOnEitherPalette) {
    QTemporaryDir dir;
    std::vector<QImage> frames;
    const QStringList pictures = movingSquare(dir, true, &frames);
    for (const char* palette : {"clip", "per-frame"}) {
        const QString out = dir.filePath("out.gif");
        ASSERT_EQ(zvqgif(QStringList{"animate", out, "--palette", palette} + pictures).exitCode, 0) << palette;
        const ShownAnimation shown = composeWithOurDecoder(readAll(out));
        ASSERT_EQ(shown.frames.size(), frames.size()) << palette;
        for (std::size_t i = 0; i < frames.size(); ++i) {
            double error = 0;
            for (int y = 0; y < 40; ++y) {
                for (int x = 0; x < 60; ++x) {
                    const QRgb a = frames[i].pixel(x, y), b = shown.frames[i].pixels[std::size_t(y * 60 + x)];
                    error += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
                }
            }
            EXPECT_LT(error / (60 * 40 * 3), 6.0) << palette << " frame " << i;
        }
    }
}
