// Feeds arbitrary bytes to the Qt image-format plugin's reader in a
// console program, as a file manager or a thumbnailer would: the frame
// count, the size, every frame composed, the loop count, reading again
// after the end, and stepping back. Nothing may crash, abort (plain text without fonts) or
// touch memory outside its blocks; Qt's allocation limit bounds the screen.
#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QVariant>
#include <cstddef>
#include <cstdint>

#include "gif_image_handler.h"

namespace {

volatile std::size_t sink;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    GifImageHandler handler;
    handler.setDevice(&buffer);
    if (!handler.canRead()) return 0;
    sink = sink + std::size_t(handler.imageCount()) + std::size_t(handler.option(QImageIOHandler::Size).toSize().width());
    QImage frame;
    for (int guard = 0; guard < 1000 && handler.read(&frame); ++guard) {
        sink = sink + std::size_t(frame.pixel(frame.width() - 1, frame.height() - 1)) +
               std::size_t(handler.nextImageDelay());
    }
    sink = sink + std::size_t(handler.loopCount()) + std::size_t(handler.read(&frame));
    // Stepping back, to the middle and to the start.
    for (const int target : {handler.imageCount() / 2, 0}) {
        if (handler.jumpToImage(target) && handler.read(&frame)) sink = sink + std::size_t(frame.width());
    }
    return 0;
}
