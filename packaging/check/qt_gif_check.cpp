// A stock Qt 6 program, linked against Qt alone: it asks Qt which formats it
// writes, writes a two-frame GIF through QImageWriter, reads it back through
// QImageReader and compares the pixels, and names the GIF plugins that Qt
// mapped into the process (from /proc/self/maps), so that a check can tell
// whose plugin did the work without any environment variable.
//   qt_gif_check write FILE.gif   writable, write, read back, compare
//   qt_gif_check read FILE.gif    read only (any GIF reader)
// Prints "key: value" lines; exits 1 when a step fails.
#include <QColor>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QSet>
#include <QStringList>
#include <cstdio>

namespace {

int fail(const char* what, const QString& detail = {}) {
    std::printf("failed: %s %s\n", what, qPrintable(detail));
    return 1;
}

QImage frame(int index) {
    QImage image(48, 32, QImage::Format_RGB32);
    const QColor colours[] = {Qt::red, Qt::green, Qt::blue, Qt::white, Qt::black, Qt::yellow};
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixelColor(x, y, colours[(x / 8 + y / 8 + index) % 6]);
    return image;
}

// The image-format plugins of the gif kind that this process has mapped.
QString mappedGifPlugins() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly)) return QStringLiteral("unknown");
    QSet<QString> names;
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const int slash = line.lastIndexOf('/');
        if (slash < 0 || !line.contains("/imageformats/")) continue;
        const QString name = QString::fromLocal8Bit(line.mid(slash + 1));
        if (name.contains(QStringLiteral("gif"))) names.insert(name);
    }
    QStringList list(names.begin(), names.end());
    list.sort();
    return list.isEmpty() ? QStringLiteral("none") : list.join(QLatin1Char(' '));
}

int read(const QString& path, bool compare) {
    QImageReader reader(path);
    if (!reader.canRead()) return fail("no reader takes", path);
    int frames = 0;
    for (QImage image = reader.read(); !image.isNull(); image = reader.read(), ++frames) {
        if (!compare) continue;
        const QImage expected = frame(frames);
        if (image.size() != expected.size()) return fail("frame size differs in frame", QString::number(frames));
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y).rgb() != expected.pixelColor(x, y).rgb())
                    return fail("pixel differs at", QStringLiteral("%1,%2 of frame %3").arg(x).arg(y).arg(frames));
    }
    std::printf("read: %d frames\n", frames);
    if (compare && frames != 2) return fail("frames read back:", QString::number(frames));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // A batch program: drawn off screen, it needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() != 3 || (args[1] != QLatin1String("write") && args[1] != QLatin1String("read"))) {
        std::fprintf(stderr, "usage: qt_gif_check write|read FILE.gif\n");
        return 2;
    }
    const bool writable = QImageWriter::supportedImageFormats().contains("gif");
    const bool readable = QImageReader::supportedImageFormats().contains("gif");
    std::printf("gif readable: %s\ngif writable: %s\n", readable ? "yes" : "no", writable ? "yes" : "no");
    if (args[1] == QLatin1String("write")) {
        if (!writable) return fail("QImageWriter::supportedImageFormats() lacks gif");
        QImageWriter writer(args[2], "gif");
        writer.setText(QStringLiteral("loop"), QStringLiteral("0"));
        writer.setText(QStringLiteral("delay"), QStringLiteral("50"));
        for (int index = 0; index < 2; ++index)
            if (!writer.write(frame(index))) return fail("QImageWriter::write:", writer.errorString());
    }
    const int status = read(args[2], args[1] == QLatin1String("write"));
    std::printf("gif plugins loaded: %s\n", qPrintable(mappedGifPlugins()));
    return status;
}
