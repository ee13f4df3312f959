#include "bench/plugin_gif_decoding.h"

#include <QBuffer>
#include <QImage>
#include <QImageIOPlugin>
#include <QLibraryInfo>
#include <QPluginLoader>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace {

QImageIOPlugin* pluginOf(bool ours) {
    static const auto load = [](const QString& path) {
        // Loaders stay loaded for the program's life.
        auto* loader = new QPluginLoader(path);
        auto* plugin = qobject_cast<QImageIOPlugin*>(loader->instance());
        if (!plugin) throw std::runtime_error("cannot load " + path.toStdString() + ": " +
                                              loader->errorString().toStdString());
        return plugin;
    };
    static QImageIOPlugin* const oursPlugin = load(QStringLiteral(QUORVAN_BENCH_PLUGIN));
    static QImageIOPlugin* const qtPlugin =
        load(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/imageformats/libqgif.so"));
    return ours ? oursPlugin : qtPlugin;
}

void toCanvas(const QImage& image, RgbaCanvas& canvas) {
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    canvas.resize(rgba.width(), rgba.height());
    for (int y = 0; y < rgba.height(); ++y) {
        std::memcpy(canvas.row(y), rgba.constScanLine(y), std::size_t(rgba.width()) * 4);
    }
}

}  // namespace

int decodeWithPlugin(const GifFile& file, bool ours, const FrameDone& done) {
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(file.bytes.data()),
                                               qsizetype(file.bytes.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const std::unique_ptr<QImageIOHandler> handler(pluginOf(ours)->create(&buffer, "gif"));
    int frames = 0;
    RgbaCanvas canvas;
    for (QImage image; handler->canRead() && handler->read(&image); ++frames) {
        if (!done) continue;
        toCanvas(image, canvas);
        done(canvas);
    }
    if (frames == 0) throw std::runtime_error(ours ? "our plugin read no frame" : "Qt's plugin read no frame");
    return frames;
}
