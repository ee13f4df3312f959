#pragma once

#include <QImageIOPlugin>

// Offers reading and writing of GIF, every frame with its delay and the
// loop count, to any Qt program.
class GifImagePlugin : public QImageIOPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "zvqgif.json")

public:
    Capabilities capabilities(QIODevice* device, const QByteArray& format) const override;
    QImageIOHandler* create(QIODevice* device, const QByteArray& format = QByteArray()) const override;
};
