#include "gif_image_plugin.h"

#include "gif_image_handler.h"

QImageIOPlugin::Capabilities GifImagePlugin::capabilities(QIODevice* device, const QByteArray& format) const {
    if (format == "gif") return CanRead | CanWrite;
    if (!format.isEmpty() || !device || !device->isOpen()) return {};
    Capabilities capabilities;
    if (device->isReadable() && GifImageHandler::canRead(device)) capabilities |= CanRead;
    if (device->isWritable()) capabilities |= CanWrite;
    return capabilities;
}

QImageIOHandler* GifImagePlugin::create(QIODevice* device, const QByteArray& format) const {
    auto* handler = new GifImageHandler;
    handler->setDevice(device);
    handler->setFormat(format.isEmpty() ? QByteArrayLiteral("gif") : format);
    return handler;
}
