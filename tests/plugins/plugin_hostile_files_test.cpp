// The plugin on files that declare more than their bytes hold, in a GUI
// program (this one) and in a console program (a process of its own).
#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>

#include "../gif/hostile_gifs.h"

namespace {

void useOurPlugin() { QCoreApplication::addLibraryPath(QStringLiteral(QUORVAN_PLUGIN_DIR)); }

struct Reading {
    int count = 0;
    int read = 0;
    std::vector<QImage> frames;  // when kept
    QSize size;
    QImageReader::ImageReaderError error = QImageReader::UnknownError;
};

Reading readAll(QByteArray bytes, bool keepFrames = true) {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    Reading reading;
    reading.count = reader.imageCount();
    reading.size = reader.size();
    for (QImage image; reader.read(&image); ++reading.read) {
        if (keepFrames) reading.frames.push_back(image);
    }
    reading.error = reader.error();
    return reading;
}

// Qt's limit for the test's length, the default again afterwards.
struct AllocationLimit {
    explicit AllocationLimit(int megabytes) { QImageReader::setAllocationLimit(megabytes); }
    ~AllocationLimit() { QImageReader::setAllocationLimit(128); }
};

// The console reader's report: "key value" lines.
QMap<QString, QString> readInConsole(const QByteArray& gif, const QString& limit = QString()) {
    QTemporaryDir dir;
    const QString path = dir.filePath("file.gif");
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(gif);
    file.close();
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("QT_QPA_PLATFORM");
    process.setProcessEnvironment(environment);
    QStringList args{QStringLiteral(QUORVAN_PLUGIN_DIR), path};
    if (!limit.isEmpty()) args << limit;
    process.start(QStringLiteral(CONSOLE_GIF_READER), args);
    process.waitForFinished(30000);
    QMap<QString, QString> report;
    report["exit"] = process.exitStatus() == QProcess::NormalExit ? QString::number(process.exitCode()) : "crash";
    for (const QString& line : QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
        report[line.section(' ', 0, 0)] = line.section(' ', 1);
    }
    return report;
}

}  // namespace

TEST(GifPluginHostileFiles, SizesOverQtsLimitAreRefusedAsQtsOwnReadersDo) {
    useOurPlugin();
    const Reading screen = readAll(hugeScreenGif());
    EXPECT_EQ(screen.size, QSize(65535, 65535));
    EXPECT_TRUE(screen.frames.empty());
    EXPECT_EQ(screen.error, QImageReader::InvalidDataError);
    EXPECT_TRUE(readAll(shortDataGif(65535, 65535)).frames.empty());
    EXPECT_TRUE(readAll(shortDataGif(7000, 7000)).frames.empty());
    EXPECT_TRUE(readAll(manyFramesOnScreenGif(20000, 200)).frames.empty());
    // 200 frames on a screen Qt allows cost their own pixels each.
    EXPECT_EQ(readAll(manyFramesOnScreenGif(2000, 200), false).read, 200);
}

TEST(GifPluginHostileFiles, ALargePictureReadsWhereQtsLimitAllowsIt) {
    useOurPlugin();
    const QByteArray picture = oneColourPictureGif(6000);
    // 36 million pixels of 32-bit colour are 137 MB, over Qt's default.
    EXPECT_TRUE(readAll(picture).frames.empty());
    const AllocationLimit raised(256);
    const Reading reading = readAll(picture);
    ASSERT_EQ(reading.frames.size(), 1u);
    EXPECT_EQ(reading.frames[0].size(), QSize(6000, 6000));
    EXPECT_EQ(reading.frames[0].pixel(5999, 5999), qRgb(0, 0, 255));
}

TEST(GifPluginHostileFiles, FramesHandedOutStayAsTheyWereWhenTheScreenChanges) {
    useOurPlugin();
    // A red screen, then a green pixel over it, then the red taken back.
    const QByteArray gif = gifHeader(3, 3, 2) + graphicControl(1, false, false, 0, 0) + imageDescriptor(0, 0, 3, 3) +
                           literalImageData(std::vector<int>(9, 1), 2) + graphicControl(2, false, false, 0, 0) +
                           imageDescriptor(1, 1, 1, 1) + literalImageData({2}, 2) + imageDescriptor(0, 0, 1, 1) +
                           literalImageData({3}, 2) + ";";
    const Reading reading = readAll(gif);
    ASSERT_EQ(reading.frames.size(), 3u);
    EXPECT_EQ(reading.frames[0].pixel(1, 1), qRgb(1, 2, 254));
    EXPECT_EQ(reading.frames[1].pixel(1, 1), qRgb(2, 4, 253));
    // The second frame's disposal cleared its pixel before the third.
    EXPECT_EQ(qAlpha(reading.frames[2].pixel(1, 1)), 0);
    EXPECT_EQ(reading.frames[2].pixel(0, 0), qRgb(3, 6, 252));
    EXPECT_EQ(reading.frames[1].pixel(0, 0), qRgb(1, 2, 254));
}

TEST(GifPluginHostileFiles, AConsoleProgramReadsWithoutAGuiAndNeverAborts) {
    const QMap<QString, QString> text = readInConsole(plainTextGif(16, 16));
    EXPECT_EQ(text["exit"], "0");
    EXPECT_EQ(text["ours"], "yes");
    // Plain text needs fonts: without them it is left out, as browsers do.
    EXPECT_EQ(text["count"], "1");
    EXPECT_EQ(text["read"], "1");
    EXPECT_EQ(text["error"], "-");
    for (const QByteArray& gif : {hugeScreenGif(), shortDataGif(65535, 65535), manyFramesOnScreenGif(20000, 200)}) {
        const QMap<QString, QString> report = readInConsole(gif);
        EXPECT_EQ(report["exit"], "0");
        EXPECT_EQ(report["read"], "0");
        EXPECT_NE(report["error"], "-");
    }
    // The image before a text grid over the limit is read; the grid is not.
    EXPECT_EQ(readInConsole(plainTextGif(65535, 65535))["read"], "1");
    EXPECT_EQ(readInConsole(oneColourPictureGif(6000))["read"], "0");
    EXPECT_EQ(readInConsole(oneColourPictureGif(6000), "256")["read"], "1");
}

TEST(GifPluginHostileFiles, PlainTextIsDrawnInAGuiProgram) {
    useOurPlugin();
    const Reading reading = readAll(plainTextGif(16, 16));
    EXPECT_EQ(reading.count, 2);
    EXPECT_EQ(reading.frames.size(), 2u);
}

TEST(GifPluginForeignFiles, FilesOtherProgramsWriteReadAsBrowsersShowThem) {
    useOurPlugin();
    const Reading plain = readAll(transparentThenPlainGif());
    ASSERT_EQ(plain.frames.size(), 2u);
    EXPECT_EQ(qAlpha(plain.frames[0].pixel(0, 0)), 0);
    // No holes where the second image's pixels have the first one's
    // transparent index.
    EXPECT_EQ(plain.frames[1].pixel(0, 0), qRgb(0, 0, 255));

    QByteArray old = gif87aWithControlBlocks();
    QBuffer buffer(&old);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    std::vector<int> delays;
    for (QImage image; reader.read(&image);) delays.push_back(reader.nextImageDelay());
    EXPECT_EQ(delays, (std::vector<int>{0, 0, 200, 270, 90, 120}));
}

TEST(GifPluginSeeking, SteppingBackGivesTheFramesReadForwards) {
    useOurPlugin();
    // 40 frames on a 6 x 4 screen, every disposal and transparency in turn.
    QByteArray gif = gifHeader(6, 4, 2);
    for (int i = 0; i < 40; ++i) {
        gif += graphicControl(i % 4, false, i % 3 == 0, 10 + i, 0) + imageDescriptor(i % 5, i % 3, 2, 2) +
               literalImageData({i % 4, 1, (i + 1) % 4, 2}, 2);
    }
    gif += ";";
    const Reading forwards = readAll(gif);
    ASSERT_EQ(forwards.frames.size(), 40u);

    QBuffer buffer(&gif);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    for (int frame : {39, 38, 20, 17, 16, 15, 3, 0, 33, 1}) {
        ASSERT_TRUE(reader.jumpToImage(frame)) << frame;
        const QImage image = reader.read();
        EXPECT_EQ(image, forwards.frames[std::size_t(frame)]) << "frame " << frame;
        EXPECT_EQ(reader.nextImageDelay(), 10 * (10 + frame)) << frame;
        EXPECT_EQ(reader.currentImageNumber(), frame);
    }
    EXPECT_FALSE(reader.jumpToImage(40));
}

TEST(GifPluginSeeking, StepsBackRightWhenTheKeptScreensOutgrowTheirBudget) {
    useOurPlugin();
    // 100 full-screen frames, frame k all of colour (k, 2k, 255 - k): six
    // screens of 256 KB would be kept, and 1 MB holds four.
    QByteArray gif = gifHeader(256, 256, 1);
    for (int k = 0; k < 100; ++k) {
        QByteArray descriptor = imageDescriptor(0, 0, 256, 256);
        descriptor[descriptor.size() - 1] = char(0x80);  // a local table of two entries
        const char table[6] = {char(k), char(2 * k), char(255 - k), 0, 0, 0};
        descriptor.append(table, 6);
        gif += graphicControl(0, false, false, 1, 0) + descriptor + densestImageData(256 * 256);
    }
    gif += ";";
    const AllocationLimit limit(1);
    QBuffer buffer(&gif);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    for (int frame : {99, 80, 79, 50, 47, 20, 15, 5, 0, 64, 98}) {
        ASSERT_TRUE(reader.jumpToImage(frame)) << frame;
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << frame;
        EXPECT_EQ(image.pixel(255, 255), qRgb(frame, 2 * frame, 255 - frame)) << "frame " << frame;
        EXPECT_EQ(reader.currentImageNumber(), frame);
    }
}
