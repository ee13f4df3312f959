#pragma once

#include <QImageIOHandler>
#include <QStringList>
#include <memory>

#include "frame_checkpoints.h"
#include "gif_frame_composer.h"

class GifFrameWriter;
class TMemoryStream;
class TZVQ_GIFDecompressor;

// Reads GIFs frame by frame, each frame the logical screen as the frames so
// far compose it (transparent where nothing was drawn), with its delay, the
// loop count and the comments as the text "Comment"; writes every image it
// is given as one more frame of an animation optimised as the frames come
// (see GifFrameWriter).
//
// Writing takes, from each image's text or the writer's (QImageWriter::
// setText): "delay" in milliseconds, "disposal" (none, leave, background,
// previous) and, before the first frame, "loop" (0: for ever). Pixels less
// than half opaque are written transparent.
class GifImageHandler : public QImageIOHandler {
public:
    GifImageHandler();
    ~GifImageHandler() override;

    static bool canRead(QIODevice* device);
    bool canRead() const override;
    bool read(QImage* image) override;
    bool write(const QImage& image) override;

    bool supportsOption(ImageOption option) const override;
    QVariant option(ImageOption option) const override;
    void setOption(ImageOption option, const QVariant& value) override;

    int imageCount() const override;
    int loopCount() const override;
    int nextImageDelay() const override;
    int currentImageNumber() const override;
    bool jumpToNextImage() override;
    // Steps back from a screen kept on the way (every 16 frames or more,
    // within Qt's allocation limit), not from the first frame.
    bool jumpToImage(int imageNumber) override;

private:
    bool openForReading() const;
    bool composeNext();
    bool rewindTo(int frame);
    QString writerText(const QImage& image, const QString& key) const;
    void finishWriting();

    // Reading
    mutable std::unique_ptr<TMemoryStream> input_;
    mutable std::unique_ptr<TZVQ_GIFDecompressor> decoder_;
    mutable GifFrameComposer composer_;
    mutable int imageCount_ = 0;
    mutable bool failed_ = false;
    mutable QStringList comments_;
    int current_ = -1;
    int currentDelay_ = 0;
    mutable std::int64_t firstGraphicAt_ = 0;
    mutable FrameCheckpoints checkpoints_;

    // Writing
    std::unique_ptr<GifFrameWriter> writer_;
    QString description_;
};
