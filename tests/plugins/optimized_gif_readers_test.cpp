#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QImageIOPlugin>
#include <QImageReader>
#include <QLibraryInfo>
#include <QPluginLoader>

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
