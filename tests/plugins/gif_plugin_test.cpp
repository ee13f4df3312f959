#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QImageReader>
#include <QImageWriter>
#include <QMovie>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gif_lib.h>

#include "../gif/conformance_data.h"
#include "../gif/gif_bytes.h"
#include "test_support.h"

namespace {

// Our plugin before Qt's own: the folder added last is searched first.
void useOurPlugin() { QCoreApplication::addLibraryPath(QStringLiteral(QUORVAN_PLUGIN_DIR)); }

QImage frameOf(QRgb colour, int width = 8, int height = 6) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(colour);
    image.setPixel(0, 0, qRgba(0, 0, 0, 0));
    return image;
}

// Frames, their delays (hundredths) and the loop count as giflib reads them.
struct GiflibView {
    int frames = 0;
    std::vector<int> delays;
    std::vector<int> transparentIndex;
    int loopCount = -1;  // -1: no looping extension
};

GiflibView readWithGiflib(QByteArray bytes) {
    struct Source {
        QByteArray* bytes;
        int at = 0;
    } source{&bytes};
    const auto input = [](GifFileType* file, GifByteType* out, int count) {
        auto* from = static_cast<Source*>(file->UserData);
        const int n = std::min(count, int(from->bytes->size()) - from->at);
        std::memcpy(out, from->bytes->constData() + from->at, std::size_t(std::max(n, 0)));
        from->at += std::max(n, 0);
        return std::max(n, 0);
    };
    int error = 0;
    GifFileType* file = DGifOpen(&source, input, &error);
    GiflibView view;
    if (!file || DGifSlurp(file) != GIF_OK) {
        if (file) DGifCloseFile(file, &error);
        return view;
    }
    view.frames = file->ImageCount;
    for (int i = 0; i < file->ImageCount; ++i) {
        GraphicsControlBlock control;
        if (DGifSavedExtensionToGCB(file, i, &control) == GIF_OK) {
            view.delays.push_back(control.DelayTime);
            view.transparentIndex.push_back(control.TransparentColor);
        }
        const SavedImage& image = file->SavedImages[i];
        for (int e = 0; e + 1 < image.ExtensionBlockCount; ++e) {
            const ExtensionBlock& block = image.ExtensionBlocks[e];
            if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
                std::memcmp(block.Bytes, "NETSCAPE2.0", 11) == 0 && image.ExtensionBlocks[e + 1].ByteCount == 3) {
                const GifByteType* data = image.ExtensionBlocks[e + 1].Bytes;
                view.loopCount = data[1] | data[2] << 8;
            }
        }
    }
    DGifCloseFile(file, &error);
    return view;
}

QString suiteFolder() {
    const QString root = testDataDir();
    return root.isEmpty() ? QString() : root + "/pygif-gif-test-suite";
}

bool samePixels(const QImage& ours, const QByteArray& expected) {
    const QImage rgba = ours.convertToFormat(QImage::Format_RGBA8888);
    if (rgba.sizeInBytes() != expected.size()) return false;
    const auto* got = rgba.constBits();
    for (qsizetype at = 0; at < expected.size(); at += 4) {
        const bool bothClear = got[at + 3] == 0 && expected[at + 3] == 0;
        if (!bothClear && std::memcmp(got + at, expected.constData() + at, 4) != 0) return false;
    }
    return true;
}

// The frames a reader composes, grouped as the suite groups them: a frame
// ends at an image with a delay, and at the last image.
std::vector<QImage> groupedFrames(const QString& path, bool everyImage, std::vector<int>* delays = nullptr) {
    QImageReader reader(path, "gif");
    std::vector<QImage> frames;
    const int count = reader.imageCount();
    for (int i = 0; i < count; ++i) {
        const QImage image = reader.read();
        if (image.isNull()) break;
        const int delay = reader.nextImageDelay();
        if (delays) delays->push_back(delay);
        if (everyImage || delay > 0 || i == count - 1) frames.push_back(image);
    }
    return frames;
}

}  // namespace

TEST(GifPlugin, OursAnswersForGif) {
    useOurPlugin();
    EXPECT_TRUE(QImageWriter::supportedImageFormats().contains("gif"));
    QByteArray bytes = gifHeader(2, 2, 2) + QByteArray("\x21\xFE\x04mine\x00", 8) + imageDescriptor(0, 0, 2, 2) +
                       literalImageData({0, 1, 2, 3}, 2) + ";";
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull()) << qPrintable(reader.errorString());
    // Comments reach the image's text only through our reader.
    EXPECT_EQ(image.text("Comment"), "mine");
    EXPECT_EQ(image.pixel(1, 1), qRgb(3, 6, 252));

    // A screen declared 0 x 0 shows the image, as browsers and Qt's own
    // reader show it.
    QByteArray empty = gifHeader(0, 0, 2) + imageDescriptor(0, 0, 2, 2) + literalImageData({0, 1, 2, 3}, 2) + ";";
    QBuffer emptyBuffer(&empty);
    emptyBuffer.open(QIODevice::ReadOnly);
    QImageReader emptyReader(&emptyBuffer, "gif");
    EXPECT_EQ(emptyReader.size(), QSize(2, 2));
    const QImage shown = emptyReader.read();
    ASSERT_EQ(shown.size(), QSize(2, 2)) << qPrintable(emptyReader.errorString());
    EXPECT_EQ(shown.pixel(1, 1), qRgb(3, 6, 252));
}

// Cases where the frames we compose part from the suite's on purpose.
const QMap<QString, QString> kComposedDifferently = {
    // Not decoded (see the decoder's conformance test).
    {"image-zero-width", "no image data"},
    {"image-zero-height", "no image data"},
    {"image-zero-size", "no image data"},
    {"no-data", "no graphic"},
    {"invalid-colors", "indices beyond the table are kept"},
    {"plain-text", "plain text is drawn"},
};

TEST(GifPlugin, ComposedFramesMatchTheSuite) {
    useOurPlugin();
    const QString folder = suiteFolder();
    if (folder.isEmpty()) GTEST_SKIP() << "conformance data not present";
    int compared = 0;
    for (const QString& name : suiteCaseNames(folder)) {
        const SuiteCase c = readSuiteCase(folder, name);
        if (c.frames().isEmpty() || kComposedDifferently.contains(name)) continue;
        const bool everyImage = c.config("force-animation") == "yes";
        const std::vector<QImage> frames = groupedFrames(folder + "/" + c.config("input"), everyImage);
        ASSERT_EQ(frames.size(), std::size_t(c.frames().size())) << qPrintable(name);
        for (int f = 0; f < c.frames().size(); ++f) {
            QFile expected(folder + "/" + c.sections.value(c.frames()[f]).value("pixels"));
            ASSERT_TRUE(expected.open(QIODevice::ReadOnly));
            EXPECT_TRUE(samePixels(frames[std::size_t(f)], expected.readAll())) << qPrintable(name) << " frame " << f;
            ++compared;
        }
    }
    EXPECT_GE(compared, 90);
}

TEST(GifPlugin, ReaderGivesEveryFrameWithDelaysAndLoops) {
    useOurPlugin();
    const QString folder = suiteFolder();
    if (folder.isEmpty()) GTEST_SKIP() << "conformance data not present";
    for (const QString& name : {QStringLiteral("animation"), QStringLiteral("animation-speed"),
                                QStringLiteral("dispose-restore-previous"), QStringLiteral("loop-once"),
                                QStringLiteral("loop-infinite"), QStringLiteral("loop-max")}) {
        const SuiteCase c = readSuiteCase(folder, name);
        QImageReader reader(folder + "/" + c.config("input"), "gif");
        EXPECT_TRUE(reader.supportsAnimation());
        const QString loop = c.config("loop-count");
        EXPECT_EQ(reader.loopCount(), loop == "infinite" ? -1 : loop.toInt()) << qPrintable(name);
        std::vector<int> delays;
        const std::vector<QImage> frames = groupedFrames(folder + "/" + c.config("input"), false, &delays);
        ASSERT_EQ(frames.size(), std::size_t(c.frames().size())) << qPrintable(name);
        std::vector<int> expected, ours;
        for (const QString& frame : c.frames()) expected.push_back(c.sections.value(frame).value("delay").toInt() * 10);
        for (int delay : delays) {
            if (delay > 0) ours.push_back(delay);
        }
        if (!expected.empty() && expected.front() > 0) {
            EXPECT_EQ(ours, expected) << qPrintable(name);
        }
    }
}

TEST(GifPlugin, WriterWritesFramesDelaysAndLoopsThatGiflibReads) {
    useOurPlugin();
    QTemporaryDir dir;
    const QString path = dir.filePath("written.gif");
    {
        QImageWriter writer(path, "gif");
        writer.setText("loop", "4");
        const QRgb colours[] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
        for (int i = 0; i < 3; ++i) {
            QImage frame = frameOf(colours[i]);
            frame.setText("delay", QString::number(40 + 30 * i));
            ASSERT_TRUE(writer.write(frame)) << qPrintable(writer.errorString());
        }
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const GiflibView view = readWithGiflib(file.readAll());
    EXPECT_EQ(view.frames, 3);
    EXPECT_EQ(view.delays, (std::vector<int>{4, 7, 10}));
    EXPECT_EQ(view.loopCount, 4);
    ASSERT_EQ(view.transparentIndex.size(), 3u);
    EXPECT_GE(view.transparentIndex[0], 0);  // the clear corner

    QImageReader reader(path, "gif");
    EXPECT_EQ(reader.imageCount(), 3);
    EXPECT_EQ(reader.loopCount(), 4);
    const QImage first = reader.read();
    EXPECT_EQ(qAlpha(first.pixel(0, 0)), 0);
    EXPECT_EQ(first.pixel(3, 3), qRgb(255, 0, 0) | 0xFF000000);
    EXPECT_EQ(reader.nextImageDelay(), 40);
}

TEST(GifPlugin, MoviePlaysToTheLastFrame) {
    useOurPlugin();
    QTemporaryDir dir;
    const QString path = dir.filePath("movie.gif");
    {
        QImageWriter writer(path, "gif");
        for (int i = 0; i < 4; ++i) {
            QImage frame = frameOf(qRgb(60 * i, 0, 0));
            frame.setText("delay", "20");
            ASSERT_TRUE(writer.write(frame));
        }
    }
    QMovie movie(path, "gif");
    ASSERT_TRUE(movie.isValid());
    EXPECT_EQ(movie.frameCount(), 4);
    QSignalSpy finished(&movie, &QMovie::finished);
    int last = -1;
    QObject::connect(&movie, &QMovie::frameChanged, [&](int frame) { last = frame; });
    movie.start();
    EXPECT_TRUE(finished.wait(3000));
    EXPECT_EQ(last, 3);
    EXPECT_EQ(movie.currentImage().pixel(3, 3), qRgb(180, 0, 0) | 0xFF000000);
}
