// What crafted files cost on each path that reads GIFs: `write DIR` writes
// them, `PATH FILE` reads one file one way, for bench/hostile-cost to time
// under /usr/bin/time. Paths: decoder (each image its own bitmap), frame
// (every image on the screen's frame), list (the animated image list),
// control (the list played by the control, one tick a frame), and reader
// (QImageReader, every frame; in a console program unless QT_QPA_PLATFORM
// is set, with whichever GIF plugin Qt picks from QT_PLUGIN_PATH).
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTextStream>
#include <memory>

#include "gif/Zvqanmtn.h"
#include "gif/Zvqgif.h"
#include "hostile_gifs.h"
#include "imaging/Zvqgraph.h"
#include "toolkit/streams.h"

namespace {

void writeFiles(const QString& folder) {
    const std::pair<const char*, QByteArray> files[] = {
        {"screen-65535", hugeScreenGif()},
        {"image-65535", shortDataGif(65535, 65535)},
        {"image-7000-short", shortDataGif(7000, 7000)},
        {"frames-200-on-20000", manyFramesOnScreenGif(20000, 200)},
        {"frames-200-on-8000", manyFramesOnScreenGif(8000, 200)},
        {"text-65535", plainTextGif(65535, 65535)},
        {"text-16", plainTextGif(16, 16)},
        {"one-colour-6000", oneColourPictureGif(6000)},
    };
    QDir().mkpath(folder);
    for (const auto& [name, bytes] : files) {
        QFile file(QDir(folder).filePath(QString(name) + ".gif"));
        if (file.open(QIODevice::WriteOnly)) file.write(bytes);
    }
}

// Graphics read, or the message that ended the reading.
QString decode(const QString& fileName, bool globalFrame) {
    TMemoryStream in;
    in.LoadFromFile(fileName);
    TZVQ_GIFDecompressor decoder;
    decoder.SetUseGlobalFrame(globalFrame);
    int count = 0;
    TGIFGraphicControlInfo info;
    while (decoder.ReadGIFGraphicFromStream(&in, info)) ++count;
    return QString::number(count);
}

QString load(const QString& fileName) {
    TAnimatedImageList list;
    list.LoadFromFile(fileName);
    return QString::number(list.GetCount());
}

QString play(const QString& fileName) {
    TZVQ_AnimatedImage control(nullptr, QStringLiteral("Image"));
    control.SetAutoRun(false);
    control.GetImages()->LoadFromFile(fileName);
    for (int i = 0; i < control.GetImages()->GetCount(); ++i) control.HandleTimeout();
    return QString::number(control.GetImages()->GetCount());
}

QString readFrames(const QString& fileName) {
    QImageReader reader(fileName, "gif");
    // Only our plugin offers the description option.
    const char* whose = reader.supportsOption(QImageIOHandler::Description) ? "ours" : "Qt's";
    const int declared = reader.imageCount();
    int count = 0;
    for (QImage image; reader.read(&image);) ++count;
    return QString("%1 of %2 frames, %3").arg(count).arg(declared).arg(whose);
}

QString run(const QString& path, const QString& fileName) {
    try {
        if (path == "decoder") return decode(fileName, false);
        if (path == "frame") return decode(fileName, true);
        if (path == "list") return load(fileName);
        if (path == "control") return play(fileName);
        if (path == "reader") return readFrames(fileName);
    } catch (const Exception& e) {
        return "refused: " + e.Message();
    }
    return "unknown path";
}

}  // namespace

int main(int argc, char** argv) {
    const bool gui = qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
    std::unique_ptr<QCoreApplication> application =
        gui ? std::make_unique<QApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    const QStringList args = application->arguments();
    QTextStream out(stdout);
    if (args.size() == 3 && args[1] == "write") {
        writeFiles(args[2]);
        return 0;
    }
    if (args.size() != 3) {
        out << "usage: bench_hostile_cost write DIR | decoder|frame|list|control|reader FILE\n";
        return 2;
    }
    out << run(args[1], args[2]) << '\n';
    return 0;
}
