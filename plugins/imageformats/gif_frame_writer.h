#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QPointer>
#include <QtGlobal>
#include <memory>
#include <optional>

#include "gif/gif_types.h"

class QImage;
class TGIFFrameOptimizer;

// Writes the images a program hands the plugin one by one as the frames of
// one animation, optimised as they come.
//
// After every image the device holds the whole animation so far: the
// frames whose disposal is decided, then the last one as it stands and the
// trailer; the next image is written from where that last frame began (a
// file or buffer is cut to its new length). Qt deletes a device it opened
// before the handler, so nothing can wait for the end. A device that cannot
// go back gets each frame once it is settled, and the last one when the
// writer is done or the device closes, whichever comes first (a named pipe
// Qt opened itself closes before the handler goes).
class GifFrameWriter {
public:
    explicit GifFrameWriter(QIODevice* device);
    // Finishes a device that cannot go back, if it is still there; faults
    // are lost here.
    ~GifFrameWriter();
    GifFrameWriter(const GifFrameWriter&) = delete;
    GifFrameWriter& operator=(const GifFrameWriter&) = delete;

    // Pictures of more than 256 colours get a palette of their own, pixels
    // less than half opaque are transparent. Faults raise the library's
    // exceptions.
    void add(const QImage& image, const TGIFGraphicControlInfo& info, std::optional<int> loopCount);
    void finish();

private:
    QPointer<QIODevice> device_;  // cleared when the device is deleted
    QMetaObject::Connection closing_;
    std::unique_ptr<TGIFFrameOptimizer> optimizer_;
    qint64 lastFrameAt_ = -1;  // where the last frame begins, on a device that can go back
    QByteArray pendingTail_;   // the last frame and the trailer, for one that cannot
};
