#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include "../gif/gif_bytes.h"
#include "../gif/hostile_gifs.h"
#include "gif/Zvqgif.h"
#include "imaging/Zvqgraph.h"
#include "toolkit/streams.h"

namespace {

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

ToolRun zvqgif(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(ZVQGIF_PROGRAM), args);
    process.waitForFinished(30000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return path;
}

// Two frames on a 4 x 2 screen: a 2 x 2 image at (2, 0) behind a graphic
// control extension and a comment, then an interlaced one with a local table.
QByteArray twoFrames() {
    return gifHeader(4, 2, 2, "GIF89a", 1) + QByteArray("\x21\xFE\x03one\x00", 7) +
           graphicControl(2, true, true, 25, 3) + imageDescriptor(2, 0, 2, 2) + literalImageData({0, 1, 2, 3}, 2) +
           imageDescriptor(0, 0, 4, 2, 3, true) + literalImageData({7, 6, 5, 4, 3, 2, 1, 0}, 3) + ";";
}

}  // namespace

TEST(ZvqgifTool, InfoDescribesTheScreenAndEveryGraphic) {
    QTemporaryDir dir;
    QByteArray bytes = twoFrames();
    bytes.insert(bytes.size() - 1, QByteArray("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x03\x00\x00", 19));
    const ToolRun run = zvqgif({"info", writeFile(dir, "two.gif", bytes)});
    EXPECT_EQ(run.exitCode, 0) << qPrintable(run.err);
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 8) << qPrintable(run.out);
    EXPECT_EQ(lines[0], "type GIF89a");
    EXPECT_EQ(lines[1], "screen 4x2");
    EXPECT_EQ(lines[2], "global-table 4");
    EXPECT_EQ(lines[3], "background #0102fe");
    EXPECT_EQ(lines[4], "graphic 0: image origin 2,0 size 2x2 interlaced no local-table 0 transparent 3 "
                        "disposal background user-input yes delay 250 ms comment \"one\"");
    // The control block before the first image is the first image's alone.
    EXPECT_EQ(lines[5], "graphic 1: image origin 0,0 size 4x2 interlaced yes local-table 8 transparent - "
                        "disposal none user-input no delay 0 ms comment -");
    EXPECT_EQ(lines[6], "loop-count 3");
    EXPECT_EQ(lines[7], "graphics 2");
}

TEST(ZvqgifTool, DecodeWritesEveryFrameAsABitmap) {
    QTemporaryDir dir;
    const QString file = writeFile(dir, "two.gif", twoFrames());
    for (bool globalFrame : {false, true}) {
        const QString out = dir.filePath(globalFrame ? "global" : "own");
        QStringList args{"decode", file, out};
        if (globalFrame) args << "--global-frame";
        const ToolRun run = zvqgif(args);
        ASSERT_EQ(run.exitCode, 0) << qPrintable(run.err);
        EXPECT_EQ(QDir(out).entryList({"*.bmp"}), (QStringList{"frame-000.bmp", "frame-001.bmp"}));
        TDeviceIndependentBitmap first(QDir(out).filePath("frame-000.bmp"));
        EXPECT_EQ(first.GetWidth(), globalFrame ? 4 : 2);
        const QImage pixels = first.toImage();
        // Index 3 of the global table is (3, 6, 252); on the screen it sits at (3, 1).
        EXPECT_EQ(pixels.pixel(globalFrame ? 3 : 1, 1) & 0xFFFFFF, 0x0306FCu);
    }
}

TEST(ZvqgifTool, DamagedFilesFailWithTheLibrarysMessage) {
    QTemporaryDir dir;
    QByteArray cut = twoFrames();
    cut.chop(9);  // into the last image's data
    const ToolRun damaged = zvqgif({"decode", writeFile(dir, "cut.gif", cut), dir.filePath("out")});
    EXPECT_EQ(damaged.exitCode, 1);
    EXPECT_TRUE(damaged.err.contains("zvqgif: Unexpected end of input stream")) << qPrintable(damaged.err);

    const ToolRun missing = zvqgif({"info", dir.filePath("none.gif")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("zvqgif: Cannot open file")) << qPrintable(missing.err);

    EXPECT_EQ(zvqgif({"encode"}).exitCode, 2);
}

TEST(ZvqgifTool, WarningsGoToStandardErrorWithoutFailing) {
    QTemporaryDir dir;
    QByteArray odd = twoFrames();
    odd.replace(3, 3, "89b");
    const ToolRun run = zvqgif({"info", writeFile(dir, "odd.gif", odd)});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.err.contains("warning 4096: Unknown GIF type")) << qPrintable(run.err);
}

namespace {

QString writePicture(const QTemporaryDir& dir, const QString& name, QRgb corner) {
    QImage image(24, 16, QImage::Format_RGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 24; ++x) image.setPixel(x, y, qRgb(x * 10, y * 15, 128));
    image.setPixel(0, 0, corner);
    const QString path = dir.filePath(name);
    image.save(path);
    return path;
}

}  // namespace

TEST(ZvqgifTool, EncodeWritesAPictureAsGif) {
    QTemporaryDir dir;
    const QString png = writePicture(dir, "in.png", qRgb(255, 0, 0));
    const QString gif = dir.filePath("out.gif");
    const ToolRun run = zvqgif({"encode", png, gif, "--interlace", "--comment", "hi", "--quality", "high"});
    ASSERT_EQ(run.exitCode, 0) << qPrintable(run.err);
    const ToolRun info = zvqgif({"info", gif});
    EXPECT_TRUE(info.out.contains("graphic 0: image origin 0,0 size 24x16 interlaced yes")) << qPrintable(info.out);
    EXPECT_TRUE(info.out.contains("comment \"hi\"")) << qPrintable(info.out);
    // 384 colours: the refined palette keeps the picture close.
    TZVQ_GIFDecompressor decoder;
    TMemoryStream in;
    in.LoadFromFile(gif);
    auto dib = decoder.ReadDIBitmapFromStream(&in, TDIBFormat::dt8bit);
    const QImage back = dib->toImage();
    EXPECT_LE(std::abs(qRed(back.pixel(5, 5)) - 50), 16);
    EXPECT_LE(std::abs(qGreen(back.pixel(5, 5)) - 75), 16);

    EXPECT_EQ(zvqgif({"encode", png, dir.filePath("old.gif"), "--gif87a", "--grayscale", "--no-dither"}).exitCode, 0);
    EXPECT_TRUE(zvqgif({"info", dir.filePath("old.gif")}).out.startsWith("type GIF87a"));
}

TEST(ZvqgifTool, AnimateWritesOneFramePerPicture) {
    QTemporaryDir dir;
    QStringList inputs;
    for (int i = 0; i < 3; ++i) inputs << writePicture(dir, QString("f%1.png").arg(i), qRgb(255, 0, 0));
    const QString gif = dir.filePath("anim.gif");
    const QStringList options{"--delay", "50", "--loop", "2", "--disposal", "background", "--transparent", "ff0000"};
    // Optimised, the three same pictures are one frame of their time.
    ASSERT_EQ(zvqgif(QStringList{"animate", gif} + options + inputs).exitCode, 0);
    const ToolRun joined = zvqgif({"info", gif});
    EXPECT_TRUE(joined.out.contains("loop-count 2")) << qPrintable(joined.out);
    EXPECT_TRUE(joined.out.contains("graphics 1")) << qPrintable(joined.out);
    EXPECT_TRUE(joined.out.contains("delay 150 ms")) << qPrintable(joined.out);
    // Each picture whole, as given.
    const ToolRun run = zvqgif(QStringList{"animate", gif, "--no-optimize"} + options + inputs);
    ASSERT_EQ(run.exitCode, 0) << qPrintable(run.err);
    const ToolRun info = zvqgif({"info", gif});
    EXPECT_TRUE(info.out.contains("loop-count 2")) << qPrintable(info.out);
    EXPECT_TRUE(info.out.contains("graphics 3")) << qPrintable(info.out);
    EXPECT_EQ(info.out.count("disposal background user-input no delay 50 ms"), 3) << qPrintable(info.out);
    TZVQ_GIFDecompressor decoder;
    TMemoryStream in;
    in.LoadFromFile(gif);
    auto frame = decoder.ReadDIBitmapFromStream(&in, TDIBFormat::dt8bit);
    EXPECT_TRUE(frame->GetTransparent());
    // The red corner is the transparent pixel (red as the palette has it).
    EXPECT_EQ(frame->toImage().pixel(0, 0) & 0xFFFFFF, toQColor(frame->GetTransparentColour()).rgb() & 0xFFFFFF);
    EXPECT_GE(qRed(frame->toImage().pixel(0, 0)), 240);

    const ToolRun noLoop = zvqgif(QStringList{"animate", dir.filePath("plain.gif")} + inputs);
    ASSERT_EQ(noLoop.exitCode, 0);
    TMemoryStream plain;
    plain.LoadFromFile(dir.filePath("plain.gif"));
    EXPECT_FALSE(plain.bytes().contains("NETSCAPE"));

    EXPECT_EQ(zvqgif({"animate", gif, "--disposal", "sideways", inputs[0]}).exitCode, 2);
    const ToolRun missing = zvqgif({"animate", gif, dir.filePath("nothing.png")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("zvqgif: Cannot read picture")) << qPrintable(missing.err);
}

TEST(ZvqgifTool, HostileFilesAreToldAboutButNotDecoded) {
    QTemporaryDir dir;
    const QString image = writeFile(dir, "image.gif", shortDataGif(65535, 65535));
    const ToolRun info = zvqgif({"info", image});
    EXPECT_EQ(info.exitCode, 0) << qPrintable(info.err);
    EXPECT_TRUE(info.out.contains("graphic 0: image origin 0,0 size 65535x65535")) << qPrintable(info.out);
    // A console program: no display, no runtime folder asked for.
    EXPECT_TRUE(info.err.isEmpty()) << qPrintable(info.err);

    const ToolRun decoded = zvqgif({"decode", image, dir.filePath("out")});
    EXPECT_EQ(decoded.exitCode, 1);
    EXPECT_EQ(decoded.err, "zvqgif: Image of 65535 x 65535 pixels is over the limit of 67108864 pixels\n");
    const QString screen = writeFile(dir, "screen.gif", manyFramesOnScreenGif(20000, 200));
    EXPECT_EQ(zvqgif({"decode", screen, dir.filePath("own")}).out, "200 frames written to " + dir.filePath("own") + "\n");
    const ToolRun onScreen = zvqgif({"decode", screen, dir.filePath("screen"), "--global-frame"});
    EXPECT_EQ(onScreen.exitCode, 1);
    EXPECT_TRUE(onScreen.err.contains("Image of 20000 x 20000 pixels")) << qPrintable(onScreen.err);
    const QString wide = writeFile(dir, "short.gif", shortDataGif(7000, 7000));
    EXPECT_TRUE(zvqgif({"decode", wide, dir.filePath("short")}).err.contains("Image data too short"));
}

TEST(ZvqgifTool, ThePixelLimitIsAnOption) {
    QTemporaryDir dir;
    const QString file = writeFile(dir, "two.gif", twoFrames());
    const ToolRun tight = zvqgif({"decode", file, dir.filePath("tight"), "--pixel-limit", "7"});
    EXPECT_EQ(tight.exitCode, 1);
    EXPECT_EQ(tight.err, "zvqgif: Image of 4 x 2 pixels is over the limit of 7 pixels\n");
    EXPECT_EQ(zvqgif({"decode", file, dir.filePath("enough"), "--pixel-limit", "8"}).exitCode, 0);
    EXPECT_EQ(zvqgif({"decode", file, dir.filePath("none"), "--pixel-limit", "0"}).exitCode, 2);
    // Plain text is decoded without fonts, as its background.
    const QString text = writeFile(dir, "text.gif", plainTextGif(16, 16));
    const ToolRun decoded = zvqgif({"decode", text, dir.filePath("text")});
    EXPECT_EQ(decoded.exitCode, 0) << qPrintable(decoded.err);
    EXPECT_TRUE(decoded.err.isEmpty()) << qPrintable(decoded.err);
    TDeviceIndependentBitmap rendered(dir.filePath("text/frame-001.bmp"));
    EXPECT_EQ(rendered.GetWidth(), 16);
}

TEST(ZvqgifTool, FilesOtherProgramsWriteAndPicturesOfFewColours) {
    QTemporaryDir dir;
    const ToolRun info = zvqgif({"info", writeFile(dir, "old.gif", gif87aWithControlBlocks())});
    EXPECT_EQ(info.exitCode, 0);
    EXPECT_TRUE(info.out.contains("graphics 6")) << qPrintable(info.out);
    EXPECT_TRUE(info.err.contains("warning 4099: Illegal block (Graphic Control) found in a GIF 87a data stream, "
                                  "read as GIF 89a"))
        << qPrintable(info.err);

    // A screenshot of 200 colours comes back exactly by default.
    QImage shot(64, 40, QImage::Format_RGB32);
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            const int i = (x + 3 * y) % 200;
            shot.setPixel(x, y, qRgb(i, 255 - i, i * 7 % 256));
        }
    }
    const QString png = dir.filePath("shot.png");
    ASSERT_TRUE(shot.save(png));
    const QString gif = dir.filePath("shot.gif");
    ASSERT_EQ(zvqgif({"encode", png, gif}).exitCode, 0);
    TMemoryStream in;
    in.LoadFromFile(gif);
    TZVQ_GIFDecompressor decoder;
    TGIFGraphicControlInfo control;
    std::unique_ptr<TZVQExtGraphic> decoded = decoder.ReadGIFGraphicFromStream(&in, control);
    const QImage pixels = static_cast<TDeviceIndependentBitmap*>(decoded.get())->toImage();
    EXPECT_EQ(pixels, shot);
    // The median cut is still there when asked for.
    ASSERT_EQ(zvqgif({"encode", png, gif, "--quality", "standard"}).exitCode, 0);
}

TEST(ZvqgifTool, SeeThroughAndDeepPngsComeOutAsQtsReaderShowsThem) {
    QTemporaryDir dir;
    // A picture of few colours, some half see-through; saved once with
    // eight bits a channel (decoded by the toolkit) and once with sixteen
    // (left to Qt's reader).
    QImage picture(20, 12, QImage::Format_ARGB32);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) picture.setPixel(x, y, qRgba(x * 12, 40, y * 20, x < 10 ? 255 : 128));
    }
    QImage onWhite(picture.size(), QImage::Format_RGB32);
    onWhite.fill(Qt::white);
    QPainter(&onWhite).drawImage(0, 0, picture);
    for (const QImage::Format format : {QImage::Format_ARGB32, QImage::Format_RGBA64}) {
        SCOPED_TRACE(int(format));
        const QString png = dir.filePath("picture.png"), gif = dir.filePath("picture.gif");
        ASSERT_TRUE(picture.convertToFormat(format).save(png));
        ASSERT_EQ(zvqgif({"encode", png, gif}).exitCode, 0);
        TMemoryStream in;
        in.LoadFromFile(gif);
        TZVQ_GIFDecompressor decoder;
        const auto dib = decoder.ReadDIBitmapFromStream(&in, TDIBFormat::dt8bit);
        EXPECT_EQ(dib->toImage().convertToFormat(QImage::Format_RGB32), onWhite);
    }
}
