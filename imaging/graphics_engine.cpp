#include "imaging/graphics_engine.h"

#include "imaging/bitmap_helpers.h"
#include "imaging/device_independent_bitmap.h"
#include "toolkit/bitmap.h"
#include "toolkit/metafile.h"
#include "toolkit/picture.h"
#include "toolkit/screen.h"
#include "toolkit/streams.h"

namespace {

constexpr int kProgressStep = 5;

[[noreturn]] void throwEmptyPicture() {
    throw Exception(QStringLiteral("The Image Property is empty!"));
}

// Runs `work` on a stream the engine opened for itself, then closes the
// image stream and frees the stream, whether the work succeeded or not.
void runOnOwnedStream(TZVQGraphicsEngine* engine, std::unique_ptr<TStream> stream,
                      const std::function<void(TStream*)>& work) {
    try {
        work(stream.get());
    } catch (...) {
        engine->CloseImageStream();
        throw;
    }
    engine->CloseImageStream();
}

TDIBFormat screenFormat() {
    const ScreenCapabilities screen = screenCapabilities();
    if (screen.paletteDevice) return TDIBFormat::dt8bit;
    if (screen.colourCount() == 16) return TDIBFormat::dt4bit;
    return TDIBFormat::dt24bit;
}

}  // namespace

// --- engine ---

TZVQGraphicsEngine::TZVQGraphicsEngine(QObject* owner) : TComponent(owner) {}

TZVQGraphicsEngine::~TZVQGraphicsEngine() {
    TZVQGraphicsEngine::CloseImageStream();
}

void TZVQGraphicsEngine::Warning(int code, const QString& message) {
    if (OnWarning) OnWarning(this, code, message);
}

void TZVQGraphicsEngine::DoProgress() {
    const int percent = GetPercentDone();
    // Small gains are not worth an event; a fall (a new image or pass) is.
    if (percent >= lastPercent_ && (percent - lastPercent_) / kProgressStep == 0) return;
    if (OnProgressReport) OnProgressReport(this);
    lastPercent_ = GetPercentDone();
    if (aborted_) throw Exception(QStringLiteral("User Abort"));
}

void TZVQGraphicsEngine::OpenImageStream(TStream* stream) {
    if (imageStream_ && imageStream_ != stream) CloseImageStream();
    imageStream_ = stream;
}

void TZVQGraphicsEngine::CloseImageStream() {
    aborted_ = false;
    imageStream_ = nullptr;
}

// --- compressor ---

void TZVQGraphicsCompressor::saveToFile(const QString& fileName,
                                        const std::function<void(TStream*)>& save) {
    runOnOwnedStream(this, std::make_unique<TFileStream>(fileName, TFileMode::Create), save);
}

void TZVQGraphicsCompressor::SaveBitmapToFile(TBitmap* bitmap, const QString& fileName) {
    saveToFile(fileName, [&](TStream* stream) { SaveBitMapToStream(bitmap, stream); });
}

void TZVQGraphicsCompressor::SaveBitMapToStream(TBitmap* bitmap, TStream* stream) {
    OpenImageStream(stream);
    WriteBitmap(bitmap);
}

void TZVQGraphicsCompressor::SaveDIBtoFile(TDeviceIndependentBitmap* dib, const QString& fileName) {
    saveToFile(fileName, [&](TStream* stream) { SaveDIBToStream(dib, stream); });
}

void TZVQGraphicsCompressor::SaveDIBToStream(TDeviceIndependentBitmap* dib, TStream* stream) {
    OpenImageStream(stream);
    WriteDIBitmap(dib);
}

void TZVQGraphicsCompressor::SaveMetafileToFile(TMetafile* metafile, int width, int height,
                                                const QString& fileName) {
    saveToFile(fileName,
               [&](TStream* stream) { SaveMetaFileToStream(metafile, stream, width, height); });
}

void TZVQGraphicsCompressor::SaveMetaFileToStream(TMetafile* metafile, TStream* stream, int width,
                                                  int height) {
    OpenImageStream(stream);
    WriteMetaFile(metafile, width, height);
}

void TZVQGraphicsCompressor::SavePictureToFile(TPicture* picture, const QString& fileName) {
    saveToFile(fileName, [&](TStream* stream) { SavePictureToStream(picture, stream); });
}

void TZVQGraphicsCompressor::SavePictureToStream(TPicture* picture, TStream* stream) {
    if (picture && picture->hasBitmap()) {
        SaveBitMapToStream(picture->Bitmap(), stream);
    } else if (picture && picture->hasMetafile()) {
        SaveMetaFileToStream(picture->Metafile(), stream, picture->Width(), picture->Height());
    } else {
        throwEmptyPicture();
    }
}

void TZVQGraphicsCompressor::SaveStretchedBitmapToFile(TBitmap* bitmap, int width, int height,
                                                       const QString& fileName) {
    saveToFile(fileName, [&](TStream* stream) {
        SaveStretchedBitMapToStream(bitmap, width, height, stream);
    });
}

void TZVQGraphicsCompressor::SaveStretchedBitMapToStream(TBitmap* bitmap, int width, int height,
                                                         TStream* stream) {
    OpenImageStream(stream);
    WriteStretchedBitmap(bitmap, width, height);
}

void TZVQGraphicsCompressor::SaveStretchedPictureToFile(TPicture* picture, int width, int height,
                                                        const QString& fileName) {
    saveToFile(fileName, [&](TStream* stream) {
        SaveStretchedPictureToStream(picture, width, height, stream);
    });
}

void TZVQGraphicsCompressor::SaveStretchedPictureToStream(TPicture* picture, int width, int height,
                                                          TStream* stream) {
    OpenImageStream(stream);
    if (picture && picture->hasBitmap()) {
        SaveStretchedBitMapToStream(picture->Bitmap(), width, height, stream);
    } else if (picture && picture->hasMetafile()) {
        SaveMetaFileToStream(picture->Metafile(), stream, width, height);
    } else {
        throwEmptyPicture();
    }
}

void TZVQGraphicsCompressor::WriteBitmap(TBitmap* bitmap) {
    TDeviceIndependentBitmap dib(bitmap, GetInputType());
    WriteDIBitmap(&dib);
}

void TZVQGraphicsCompressor::WriteMetaFile(TMetafile* metafile, int width, int height) {
    const std::unique_ptr<TBitmap> bitmap = MetaToBitmap(metafile, width, height);
    WriteBitmap(bitmap.get());
}

void TZVQGraphicsCompressor::WriteStretchedBitmap(TBitmap* bitmap, int width, int height) {
    const std::unique_ptr<TBitmap> stretched = ReSizeBitmap(bitmap, width, height);
    WriteBitmap(stretched.get());
}

// --- decompressor ---

void TZVQGraphicsDecompressor::loadFromOwnedStream(TPicture* picture,
                                                   std::unique_ptr<TStream> stream) {
    runOnOwnedStream(this, std::move(stream),
                     [&](TStream* opened) { LoadPictureFromStream(picture, opened); });
}

void TZVQGraphicsDecompressor::LoadPictureFromFile(TPicture* picture, const QString& fileName) {
    loadFromOwnedStream(picture, std::make_unique<TFileStream>(fileName, TFileMode::OpenRead));
}

void TZVQGraphicsDecompressor::LoadPictureFromResID(TPicture* picture, int resourceId) {
    LoadPictureFromResource(picture, QString::number(resourceId));
}

void TZVQGraphicsDecompressor::LoadPictureFromResource(TPicture* picture,
                                                       const QString& resourceName) {
    const QString path = GetResourceType() + QLatin1Char('/') + resourceName;
    loadFromOwnedStream(picture, std::make_unique<TResourceStream>(path));
}

void TZVQGraphicsDecompressor::LoadPictureFromStream(TPicture* picture, TStream* stream) {
    if (!picture) throwEmptyPicture();
    const std::unique_ptr<TBitmap> bitmap = ReadBitMapFromStream(stream);
    picture->SetBitmap(bitmap.get());
}

std::unique_ptr<TBitmap> TZVQGraphicsDecompressor::ReadBitMapFromStream(TStream* stream) {
    OpenImageStream(stream);
    const std::unique_ptr<TDeviceIndependentBitmap> dib = ReadDIBitmap(screenFormat());
    return dib ? dib->AsBitmap() : nullptr;
}

std::unique_ptr<TDeviceIndependentBitmap> TZVQGraphicsDecompressor::ReadDIBitmapFromStream(
    TStream* stream, TDIBFormat format) {
    OpenImageStream(stream);
    return ReadDIBitmap(format);
}
