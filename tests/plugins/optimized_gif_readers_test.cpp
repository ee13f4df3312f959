#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QImageIOPlugin>
#include <QImageReader>
#include <QLibraryInfo>
#include <QPluginLoader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "../gif/composed_animation.h"
#include "imaging/device_independent_bitmap.h"

namespace {

void useOurPlugin() { QCoreApplication::addLibraryPath(QStringLiteral(QUORVAN_PLUGIN_DIR)); }

// Qt's own GIF reader, loaded from Qt's plugin folder whatever folders are
// searched first.
QImageIOPlugin* qtsOwnPlugin() {
    static QPluginLoader loader(QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/imageformats/libqgif.so");
    return qobject_cast<QImageIOPlugin*>(loader.instance());
}

ShownAnimation readWith(QImageIOHandler* handler, int width, int height) {
    ShownAnimation shown{width, height, {}};
    for (QImage image; handler->canRead() && handler->read(&image);) {
        shown.frames.push_back(shownFrame(image, handler->nextImageDelay()));
    }
    return shown;
}

ShownAnimation readWithOurPlugin(QByteArray bytes, int width, int height) {
    useOurPlugin();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    ShownAnimation shown{width, height, {}};
    for (int i = 0; i < reader.imageCount(); ++i) {
        const QImage image = reader.read();
        if (image.isNull()) break;
        shown.frames.push_back(shownFrame(image, reader.nextImageDelay()));
    }
    return shown;
}

// What Qt's reader shows of frames giflib shows: as browsers do, frames of
// 10 ms or less for 100.
ShownAnimation timedByQt(ShownAnimation shown) {
    for (ShownFrame& frame : shown.frames) frame.delay = frame.delay <= 10 ? 100 : frame.delay;
    return shown;
}

}  // namespace

// The optimised files of every disposal and transparency, as Qt's own
// reader and ours (through the plugin) show them: the frames giflib shows
// of the plain files.
TEST(OptimizedGifReaders, QtsOwnReaderAndOursShowThePlainFilesFrames) {
    QImageIOPlugin* qt = qtsOwnPlugin();
    if (!qt) GTEST_SKIP() << "Qt's GIF plugin is not installed";
    for (int disposal = 0; disposal < 4; ++disposal) {
        for (bool transparent : {false, true}) {
            for (bool manyColours : {false, true}) {
                const AnimationKind kind{TDisposalMethods(disposal), transparent, manyColours,
                                         unsigned(disposal * 4 + transparent * 2 + manyColours + 1)};
                QByteArray small = optimized(plainFile(testPictures(kind)));
                const std::string what = "disposal " + std::to_string(disposal) + (transparent ? ", transparent" : "") +
                                         (manyColours ? ", many colours" : "");
                const ShownAnimation wanted = joinedStills(*composeWithGiflib(plainFile(testPictures(kind))));
                QBuffer buffer(&small);
                buffer.open(QIODevice::ReadOnly);
                const std::unique_ptr<QImageIOHandler> handler(qt->create(&buffer, "gif"));
                ASSERT_FALSE(handler->supportsOption(QImageIOHandler::Description)) << "not Qt's own reader";
                EXPECT_EQ(joinedStills(readWith(handler.get(), 40, 30)).frames, wanted.frames) << "Qt, " << what;
                EXPECT_EQ(joinedStills(readWithOurPlugin(small, 40, 30)).frames, wanted.frames) << "ours, " << what;
            }
        }
    }
}

// Large frames of many colours, and frames whose LZW dictionaries fill and
// are kept full before a clear: Qt's own reader and ours show what giflib
// shows of the plain files.
TEST(OptimizedGifReaders, QtsOwnReaderAndOursShowLargeFramesOptimised) {
    QImageIOPlugin* qt = qtsOwnPlugin();
    if (!qt) GTEST_SKIP() << "Qt's GIF plugin is not installed";
    for (const auto& [name, pictures] : {std::pair{"large", largeTestPictures(3)},
                                         std::pair{"patterned", patternedTestPictures(8)}}) {
        const QByteArray plain = plainFile(pictures, kLargeWidth, kLargeHeight);
        const ShownAnimation wanted = joinedStills(*composeWithGiflib(plain));
        QByteArray small = optimized(plain);
        QBuffer buffer(&small);
        buffer.open(QIODevice::ReadOnly);
        const std::unique_ptr<QImageIOHandler> handler(qt->create(&buffer, "gif"));
        EXPECT_EQ(joinedStills(readWith(handler.get(), kLargeWidth, kLargeHeight)).frames,
                  joinedStills(timedByQt(wanted)).frames)
            << "Qt, " << name;
        EXPECT_EQ(joinedStills(readWithOurPlugin(small, kLargeWidth, kLargeHeight)).frames, wanted.frames)
            << "ours, " << name;
    }
}

// Other encoders' animations (tests/gif/foreign), optimised: Qt's own
// reader and ours show the frames giflib shows of the files as written.
// Qt's reader takes the transparent index of the last control block for an
// image without one.
TEST(OptimizedGifReaders, QtsOwnReaderAndOursShowOtherEncodersFilesOptimised) {
    QImageIOPlugin* qt = qtsOwnPlugin();
    if (!qt) GTEST_SKIP() << "Qt's GIF plugin is not installed";
    for (const auto& [name, gif] : otherEncodersFiles()) {
        const std::optional<ShownAnimation> wanted = composeWithGiflib(gif);
        ASSERT_TRUE(wanted.has_value()) << name.toStdString();
        QByteArray small = optimized(gif);
        QBuffer buffer(&small);
        buffer.open(QIODevice::ReadOnly);
        const std::unique_ptr<QImageIOHandler> handler(qt->create(&buffer, "gif"));
        EXPECT_EQ(joinedStills(readWith(handler.get(), wanted->width, wanted->height)).frames,
                  joinedStills(timedByQt(*wanted)).frames)
            << "Qt, " << name.toStdString();
        EXPECT_EQ(joinedStills(readWithOurPlugin(small, wanted->width, wanted->height)).frames,
                  joinedStills(*wanted).frames)
            << "ours, " << name.toStdString();
    }
}

namespace {

// A device that cannot go back, as a pipe or a socket is.
class SequentialBuffer : public QIODevice {
public:
    QByteArray bytes;
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 length) override {
        bytes.append(data, length);
        return length;
    }
};

// Frames of a square moving over stripes, the fourth one as the third, the
// fifth with a see-through corner over the fourth.
std::vector<QImage> movingSquare() {
    std::vector<QImage> frames;
    for (int i = 0; i < 6; ++i) {
        QImage frame(64, 48, QImage::Format_ARGB32);
        for (int y = 0; y < 48; ++y) {
            for (int x = 0; x < 64; ++x) frame.setPixel(x, y, (x / 4 + y / 6) % 2 ? qRgb(20, 90, 160) : qRgb(240, 240, 200));
        }
        const int at = std::min(i, 3) * 9;
        for (int y = 10; y < 22; ++y) {
            for (int x = at; x < at + 12; ++x) frame.setPixel(x, y, qRgb(200, 30, 30));
        }
        if (i == 4) {
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 8; ++x) frame.setPixel(x, y, qRgba(0, 0, 0, 0));
            }
        }
        frame.setText("delay", QString::number(30 + 10 * i));
        frames.push_back(frame);
    }
    return frames;
}

// What the frames show written one after the other without disposal: a
// see-through pixel shows the frame before.
ShownAnimation expectedShow(const std::vector<QImage>& frames, std::size_t count) {
    ShownAnimation shown{64, 48, {}};
    QImage screen(64, 48, QImage::Format_ARGB32);
    screen.fill(Qt::transparent);
    for (std::size_t i = 0; i < count; ++i) {
        for (int y = 0; y < 48; ++y) {
            for (int x = 0; x < 64; ++x) {
                if (qAlpha(frames[i].pixel(x, y)) >= 128) screen.setPixel(x, y, frames[i].pixel(x, y));
            }
        }
        shown.frames.push_back(shownFrame(screen, frames[i].text("delay").toInt()));
    }
    return joinedStills(shown);
}

}  // namespace

// Frames written through QImageWriter come out optimised, and the file
// shows every frame written so far whenever the program stops; a device
// that cannot go back gets the same animation once the writer is done.
TEST(OptimizedGifReaders, WriterOptimisesAndKeepsTheFileWholeAfterEveryFrame) {
    useOurPlugin();
    const std::vector<QImage> frames = movingSquare();
    QTemporaryDir dir;
    const QString path = dir.filePath("written.gif");
    {
        QImageWriter writer(path, "gif");
        writer.setText("loop", "0");
        for (std::size_t i = 0; i < frames.size(); ++i) {
            ASSERT_TRUE(writer.write(frames[i])) << qPrintable(writer.errorString());
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            const std::optional<ShownAnimation> shown = composeWithGiflib(file.readAll());
            ASSERT_TRUE(shown.has_value()) << "after frame " << i;
            EXPECT_EQ(joinedStills(*shown).frames, expectedShow(frames, i + 1).frames) << "after frame " << i;
        }
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    const ShownAnimation wanted = expectedShow(frames, frames.size());
    EXPECT_EQ(joinedStills(*composeWithGiflib(written)).frames, wanted.frames);
    EXPECT_EQ(joinedStills(readWithOurPlugin(written, 64, 48)).frames, wanted.frames);
    if (QImageIOPlugin* qt = qtsOwnPlugin()) {
        QByteArray bytes = written;
        QBuffer in(&bytes);
        in.open(QIODevice::ReadOnly);
        const std::unique_ptr<QImageIOHandler> handler(qt->create(&in, "gif"));
        EXPECT_EQ(joinedStills(readWith(handler.get(), 64, 48)).frames, wanted.frames);
    }
    // Smaller than the first frame alone, written whole, times the frames.
    QByteArray single;
    QBuffer buffer(&single);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(QImageWriter(&buffer, "gif").write(frames[0]));
    EXPECT_LT(written.size(), single.size() * 3);

    SequentialBuffer pipe;
    pipe.open(QIODevice::WriteOnly);
    {
        QImageWriter writer(&pipe, "gif");
        writer.setText("loop", "0");
        for (const QImage& frame : frames) ASSERT_TRUE(writer.write(frame));
    }
    EXPECT_EQ(pipe.bytes, written);

    // A named pipe that QImageWriter opens itself, and deletes before the
    // plugin's handler: the last frame goes out as it closes.
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QByteArray piped;
    std::thread reader([&] {
        QFile in(fifo);
        if (in.open(QIODevice::ReadOnly)) piped = in.readAll();
    });
    {
        QImageWriter writer(fifo, "gif");
        writer.setText("loop", "0");
        for (const QImage& frame : frames) EXPECT_TRUE(writer.write(frame));
    }
    // Lets the reader go should the writer never have opened the pipe.
    const int release = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
    if (release >= 0) ::close(release);
    reader.join();
    EXPECT_EQ(piped, written);
}
