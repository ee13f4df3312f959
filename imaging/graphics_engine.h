#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "imaging/dib_format.h"
#include "toolkit/component.h"

class QObject;
class TBitmap;
class TDeviceIndependentBitmap;
class TMetafile;
class TPicture;
class TStream;

// A recoverable problem: the sender, a code and its text.
using TErrorEvent =
    std::function<void(TObject* sender, int errorCode, const QString& errorMessage)>;

// The frame every image codec shares: one image stream at a time, progress
// in percent, warnings, and an abort request honoured at the next progress
// report.
//
// The destructor closes the image stream, but a base destructor cannot reach
// a codec's own CloseImageStream: a codec that has to finish its stream does
// so in its own destructor.
class TZVQGraphicsEngine : public TComponent {
public:
    explicit TZVQGraphicsEngine(QObject* owner = nullptr);
    ~TZVQGraphicsEngine() override;

    // How far the current image has got, 0 to 100.
    virtual int GetPercentDone() = 0;
    virtual void Warning(int code, const QString& message);
    // Reports when the percent done fell or rose by 5 or more since the last
    // report; after a report an abort request raises "User Abort".
    virtual void DoProgress();
    // Opening another stream closes the open one first.
    virtual void OpenImageStream(TStream* stream);
    // Forgets the stream (it is not freed) and any abort request.
    virtual void CloseImageStream();
    void Abort() { aborted_ = true; }

    TStream* GetImageStream() const { return imageStream_; }
    int GetLastPercent() const { return lastPercent_; }
    bool GetAborted() const { return aborted_; }

    TNotifyEvent OnProgressReport;
    TErrorEvent OnWarning;

private:
    TStream* imageStream_ = nullptr;
    int lastPercent_ = 0;
    bool aborted_ = false;
};

// The base of encoders: the codec writes DIBs; this turns bitmaps, metafiles
// and pictures into DIBs of the codec's input type and handles the files.
class TZVQGraphicsCompressor : public TZVQGraphicsEngine {
public:
    using TZVQGraphicsEngine::TZVQGraphicsEngine;

    virtual TDIBFormat GetInputType() = 0;
    // Encodes one bitmap to the image stream.
    virtual void WriteDIBitmap(TDeviceIndependentBitmap* dib) = 0;

    void SaveBitmapToFile(TBitmap* bitmap, const QString& fileName);
    void SaveBitMapToStream(TBitmap* bitmap, TStream* stream);
    void SaveDIBtoFile(TDeviceIndependentBitmap* dib, const QString& fileName);
    void SaveDIBToStream(TDeviceIndependentBitmap* dib, TStream* stream);
    void SaveMetafileToFile(TMetafile* metafile, int width, int height, const QString& fileName);
    void SaveMetaFileToStream(TMetafile* metafile, TStream* stream, int width, int height);
    void SavePictureToFile(TPicture* picture, const QString& fileName);
    void SavePictureToStream(TPicture* picture, TStream* stream);
    void SaveStretchedBitmapToFile(TBitmap* bitmap, int width, int height, const QString& fileName);
    void SaveStretchedBitMapToStream(TBitmap* bitmap, int width, int height, TStream* stream);
    void SaveStretchedPictureToFile(TPicture* picture, int width, int height,
                                    const QString& fileName);
    void SaveStretchedPictureToStream(TPicture* picture, int width, int height, TStream* stream);

protected:
    void WriteBitmap(TBitmap* bitmap);
    void WriteMetaFile(TMetafile* metafile, int width, int height);
    void WriteStretchedBitmap(TBitmap* bitmap, int width, int height);

private:
    void saveToFile(const QString& fileName, const std::function<void(TStream*)>& save);
};

// The base of decoders: the codec reads DIBs; this turns them into bitmaps
// and pictures and finds the files and program resources they come from.
class TZVQGraphicsDecompressor : public TZVQGraphicsEngine {
public:
    using TZVQGraphicsEngine::TZVQGraphicsEngine;

    // The image stream holds no further image.
    virtual bool GetEOF() = 0;
    // The folder of the program resources holding this codec's images.
    virtual QString GetResourceType() = 0;
    // The next image from the image stream, or null when there is none.
    virtual std::unique_ptr<TDeviceIndependentBitmap> ReadDIBitmap(TDIBFormat format) = 0;

    void LoadPictureFromFile(TPicture* picture, const QString& fileName);
    // Program resources are Qt resources at ":/<resource type>/<name>"; an
    // id is a name written as its decimal number.
    void LoadPictureFromResID(TPicture* picture, int resourceId);
    void LoadPictureFromResource(TPicture* picture, const QString& resourceName);
    void LoadPictureFromStream(TPicture* picture, TStream* stream);
    // Read in the format that suits the screen; null when no image came.
    std::unique_ptr<TBitmap> ReadBitMapFromStream(TStream* stream);
    std::unique_ptr<TDeviceIndependentBitmap> ReadDIBitmapFromStream(TStream* stream,
                                                                     TDIBFormat format);
    // Codecs may build their images in another format where the image's own
    // colours call for it.
    void SetOutputType(TDIBFormat format) { outputType_ = format; }
    TDIBFormat GetOutputType() const { return outputType_; }

private:
    void loadFromOwnedStream(TPicture* picture, std::unique_ptr<TStream> stream);

    TDIBFormat outputType_ = TDIBFormat::dtMonochrome;
};
