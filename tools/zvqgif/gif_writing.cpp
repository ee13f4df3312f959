#include "gif_writing.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPainter>

#include "gif/Zvqgif.h"
#include "gif/clip_palette.h"
#include "gif/frame_optimizer.h"
#include "imaging/Zvqgraph.h"
#include "toolkit/bitmap.h"
#include "toolkit/png_image.h"
#include "toolkit/streams.h"

namespace {

// The picture as Qt's reader gives it; common PNGs, which clips are most
// often made of, are decoded faster apart.
QImage readImage(const QString& fileName) {
    QFile file(fileName);
    if (file.open(QIODevice::ReadOnly)) {
        QImage image = decodeCommonPng(file.readAll());
        if (!image.isNull()) return image;
    }
    QImageReader reader(fileName);
    QImage image = reader.read();
    if (image.isNull()) throw Exception(QStringLiteral("Cannot read picture \"%1\": %2").arg(fileName, reader.errorString()));
    return image;
}

// The picture, see-through parts laid on white.
QImage loadImage(const QString& fileName) {
    QImage image = readImage(fileName);
    if (!image.hasAlphaChannel()) return image;
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter(&flat).drawImage(0, 0, image);
    return flat;
}

// The picture as a 24-bit bitmap.
std::unique_ptr<TDeviceIndependentBitmap> loadPicture(const QString& fileName) {
    TBitmap bitmap;
    bitmap.SetImage(loadImage(fileName).convertToFormat(QImage::Format_RGB32));
    return std::make_unique<TDeviceIndependentBitmap>(&bitmap, TDIBFormat::dt24bit);
}

}  // namespace

void encodePicture(const QString& input, const QString& output, const EncodeOptions& options) {
    const std::unique_ptr<TDeviceIndependentBitmap> picture = loadPicture(input);
    TZVQ_GIFCompressor encoder;
    encoder.SetInterlace(options.interlace);
    encoder.SetFSDither(options.dither);
    encoder.SetGrayscale(options.grayscale);
    encoder.SetGIFType(options.gif87a ? TGIFType::gt87a : TGIFType::gt89a);
    encoder.SetComment(options.comment);
    encoder.SetPaletteQuality(options.quality);
    encoder.SaveDIBtoFile(picture.get(), output);
}

namespace {

void animateOptimized(const QStringList& inputs, const QString& output, const AnimateOptions& options) {
    TGIFClipOptions clipOptions;
    clipOptions.sharedPalette = options.sharedPalette;
    clipOptions.dither = options.dither;
    clipOptions.quality = options.quality;
    clipOptions.transparent = options.transparent;
    // Pictures left in place need only their changes drawn over them.
    clipOptions.cropped =
        options.disposal == TDisposalMethods::dmNone || options.disposal == TDisposalMethods::dmLeaveInPlace;
    // Read side by side, each picture let go once its pixels are taken; a
    // picture that cannot be read is told about in order.
    const TGIFIndexedClip clip =
        indexedClip(int(inputs.size()), [&](int i) { return loadImage(inputs[i]); }, clipOptions);
    TGIFFrameOptimizer optimizer(clip.pictures.front()->GetWidth(), std::abs(clip.pictures.front()->GetHeight()));
    if (options.loopCount) optimizer.setLoopCount(*options.loopCount);
    TGIFGraphicControlInfo info;
    info.DelayTime = options.delay;
    info.DisposalMethod = options.disposal;
    for (std::size_t i = 0; i < clip.pictures.size(); ++i) {
        info.Origin = clip.origins[i];
        optimizer.addFrame(*clip.pictures[i], info, clip.transparentIndices[i]);
    }
    TFileStream out(output, TFileMode::Create);
    optimizer.write(&out);
}

}  // namespace

void animatePictures(const QStringList& inputs, const QString& output, const AnimateOptions& options) {
    if (options.optimize) {
        animateOptimized(inputs, output, options);
        return;
    }
    // The stream outlives the encoder, which closes the stream it has open
    // when a picture fails to load.
    TFileStream out(output, TFileMode::Create);
    TZVQ_GIFCompressor encoder;
    encoder.SetPaletteQuality(options.quality);
    encoder.OpenImageStream(&out);
    if (options.loopCount) encoder.WriteLoopControl(*options.loopCount);
    TGIFGraphicControlInfo info;
    info.DelayTime = options.delay;
    info.DisposalMethod = options.disposal;
    for (const QString& input : inputs) {
        const std::unique_ptr<TDeviceIndependentBitmap> frame = loadPicture(input);
        if (options.transparent) {
            frame->SetTransparent(true);
            frame->SetTransparentColour(*options.transparent);
        }
        encoder.WriteGIFGraphic(frame.get(), info);
    }
    encoder.CloseImageStream();
}
