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

/// @file
/// The frame of the image codecs: the engine, and the bases of encoders and
/// decoders.

/// A recoverable problem: the sender, a code and its text.
using TErrorEvent =
    std::function<void(TObject* sender, int errorCode, const QString& errorMessage)>;

/// The frame every image codec shares: one image stream at a time, progress
/// in percent, warnings, and an abort request honoured at the next progress
/// report.
///
/// The destructor closes the image stream, but a base destructor cannot reach
/// a codec's own CloseImageStream: a codec that has to finish its stream does
/// so in its own destructor.
///
/// Streams are always the caller's: the engine borrows them while they are
/// open and never frees them, except the files and resources it opens itself
/// in the ...File and ...Resource operations, which it closes before it
/// returns or raises.
class TZVQGraphicsEngine : public TComponent {
public:
    /// An engine that @p owner (when not null) destroys with itself.
    explicit TZVQGraphicsEngine(QObject* owner = nullptr);
    /// Closes the image stream (this class's CloseImageStream).
    ~TZVQGraphicsEngine() override;

    /// How far the current image has got, 0 to 100.
    virtual int GetPercentDone() = 0;
    /// Sends a warning to OnWarning, when set, with this engine as sender.
    /// Codecs number their warnings and name them in their documentation.
    virtual void Warning(int code, const QString& message);
    /// Reports when the percent done fell or rose by 5 or more since the last
    /// report; after a report an abort request raises Exception "User Abort".
    virtual void DoProgress();
    /// Opening another stream closes the open one first.
    virtual void OpenImageStream(TStream* stream);
    /// Forgets the stream (it is not freed) and any abort request.
    virtual void CloseImageStream();
    /// Asks the codec to stop at its next progress report (DoProgress).
    void Abort() { aborted_ = true; }

    /// The open image stream, borrowed; null when none is open.
    TStream* GetImageStream() const { return imageStream_; }
    /// The percent done at the last progress report.
    int GetLastPercent() const { return lastPercent_; }
    /// Abort was asked for since the stream was opened.
    bool GetAborted() const { return aborted_; }

    /// Called at each progress report, the engine as sender.
    TNotifyEvent OnProgressReport;
    /// Called with each warning; without it warnings go nowhere here
    /// (a codec may have its own default).
    TErrorEvent OnWarning;

private:
    TStream* imageStream_ = nullptr;
    int lastPercent_ = 0;
    bool aborted_ = false;
};

/// The base of encoders: the codec writes DIBs; this turns bitmaps, metafiles
/// and pictures into DIBs of the codec's input type and handles the files.
///
/// The ...ToStream operations open the stream as the image stream and write
/// one image to it; the ...ToFile ones do so on a new file (EFCreateError
/// when it cannot be made) and close it. Besides the codec's own errors, a
/// bitmap without pixels raises EDIBError "Cannot obtain a Device
/// Independent Bitmap", a picture with neither a bitmap nor a metafile
/// Exception "The Image Property is empty!", and a metafile that does not
/// play MetaToBitmap's error.
class TZVQGraphicsCompressor : public TZVQGraphicsEngine {
public:
    /// An encoder that @p owner (when not null) destroys with itself.
    using TZVQGraphicsEngine::TZVQGraphicsEngine;

    /// The format WriteDIBitmap takes; other images are converted to it.
    virtual TDIBFormat GetInputType() = 0;
    /// Encodes one bitmap to the image stream.
    virtual void WriteDIBitmap(TDeviceIndependentBitmap* dib) = 0;

    ///@{
    /// A toolkit bitmap, converted to the input type.
    void SaveBitmapToFile(TBitmap* bitmap, const QString& fileName);
    void SaveBitMapToStream(TBitmap* bitmap, TStream* stream);
    ///@}
    ///@{
    /// A device-independent bitmap as it is: the codec takes or refuses its format.
    void SaveDIBtoFile(TDeviceIndependentBitmap* dib, const QString& fileName);
    void SaveDIBToStream(TDeviceIndependentBitmap* dib, TStream* stream);
    ///@}
    ///@{
    /// A metafile played at width x height (MetaToBitmap) and converted.
    void SaveMetafileToFile(TMetafile* metafile, int width, int height, const QString& fileName);
    void SaveMetaFileToStream(TMetafile* metafile, TStream* stream, int width, int height);
    ///@}
    ///@{
    /// A picture's bitmap, or its metafile at the picture's size.
    void SavePictureToFile(TPicture* picture, const QString& fileName);
    void SavePictureToStream(TPicture* picture, TStream* stream);
    ///@}
    ///@{
    /// A toolkit bitmap stretched smoothly to width x height (ReSizeBitmap).
    void SaveStretchedBitmapToFile(TBitmap* bitmap, int width, int height, const QString& fileName);
    void SaveStretchedBitMapToStream(TBitmap* bitmap, int width, int height, TStream* stream);
    ///@}
    ///@{
    /// A picture's bitmap stretched, or its metafile played, at width x height.
    void SaveStretchedPictureToFile(TPicture* picture, int width, int height,
                                    const QString& fileName);
    void SaveStretchedPictureToStream(TPicture* picture, int width, int height, TStream* stream);
    ///@}

protected:
    /// Converts the toolkit bitmap to the input type and writes it.
    void WriteBitmap(TBitmap* bitmap);
    /// Plays the metafile at width x height and writes it.
    void WriteMetaFile(TMetafile* metafile, int width, int height);
    /// Stretches the bitmap to width x height and writes it.
    void WriteStretchedBitmap(TBitmap* bitmap, int width, int height);

private:
    void saveToFile(const QString& fileName, const std::function<void(TStream*)>& save);
};

/// The base of decoders: the codec reads DIBs; this turns them into bitmaps
/// and pictures and finds the files and program resources they come from.
class TZVQGraphicsDecompressor : public TZVQGraphicsEngine {
public:
    /// A decoder that @p owner (when not null) destroys with itself.
    using TZVQGraphicsEngine::TZVQGraphicsEngine;

    /// The image stream holds no further image.
    virtual bool GetEOF() = 0;
    /// The folder of the program resources holding this codec's images.
    virtual QString GetResourceType() = 0;
    /// The next image from the image stream, or null when there is none; a
    /// new bitmap, owned by the caller.
    virtual std::unique_ptr<TDeviceIndependentBitmap> ReadDIBitmap(TDIBFormat format) = 0;

    /// LoadPictureFromStream over the file, which is closed again
    /// (EFOpenError when it cannot be opened).
    void LoadPictureFromFile(TPicture* picture, const QString& fileName);
    ///@{
    /// Program resources are Qt resources at `:/<resource type>/<name>`; an
    /// id is a name written as its decimal number. EResNotFound "Resource %1
    /// not found" when the program has none of that name.
    void LoadPictureFromResID(TPicture* picture, int resourceId);
    void LoadPictureFromResource(TPicture* picture, const QString& resourceName);
    ///@}
    /// The stream's next image as the picture's bitmap; the picture is
    /// emptied when no image came. A null picture raises Exception "The
    /// Image Property is empty!".
    void LoadPictureFromStream(TPicture* picture, TStream* stream);
    /// Read in the format that suits the screen; null when no image came.
    /// A new toolkit bitmap, owned by the caller.
    std::unique_ptr<TBitmap> ReadBitMapFromStream(TStream* stream);
    /// Opens @p stream as the image stream and reads its next image in
    /// @p format (ReadDIBitmap); null when no image came.
    std::unique_ptr<TDeviceIndependentBitmap> ReadDIBitmapFromStream(TStream* stream,
                                                                     TDIBFormat format);
    ///@{
    /// Codecs may build their images in another format where the image's own
    /// colours call for it.
    void SetOutputType(TDIBFormat format) { outputType_ = format; }
    TDIBFormat GetOutputType() const { return outputType_; }
    ///@}

private:
    void loadFromOwnedStream(TPicture* picture, std::unique_ptr<TStream> stream);

    TDIBFormat outputType_ = TDIBFormat::dtMonochrome;
};
