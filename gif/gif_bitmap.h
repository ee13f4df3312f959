#pragma once

#include "toolkit/bitmap.h"

class TZVQ_CustomGifCompressor;
class TZVQ_CustomGifDecompressor;

/// @file
/// GIF for toolkit bitmaps and pictures.

/// A toolkit bitmap that reads and writes GIF, so that pictures take ".gif"
/// files like their own formats. It borrows the default decoder or encoder
/// a window made (their settings and events apply), else uses its own.
/// Long loads and saves report through OnProgress ("Opening GIF Image",
/// then the codec's progress, then "Decompression completed").
class TGIFBitmap : public TBitmap {
public:
    /// The first image of the stream; a damaged stream leaves the bitmap as
    /// it was and raises nothing. So does one the decoder refuses for its
    /// pixel limit (TPicture::LoadFromFile then raises EInvalidGraphic).
    void LoadFromStream(TStream* stream) override;
    /// Writes the bitmap as one GIF image with the encoder's settings, the
    /// codec's errors (EGIFError, EWriteError) passed on.
    void SaveToStream(TStream* stream) const override;
    /// A name ending in ".gif" (any letter case) is written as GIF, any
    /// other as a bitmap file.
    void SaveToFile(const QString& fileName) const override;

    ///@{
    /// Pass the codec's progress reports on to the decoder's or encoder's
    /// own handler and to OnProgress.
    void HandleDecompressOnProgress(TObject* sender);
    void HandleCompressOnProgress(TObject* sender) const;
    ///@}

private:
    mutable bool saveAsBitmap_ = false;
    TZVQ_CustomGifDecompressor* decoder_ = nullptr;
    mutable TZVQ_CustomGifCompressor* encoder_ = nullptr;
    mutable TNotifyEvent savedProgress_;
};

/// Registers TGIFBitmap for "gif" with the picture class while any program
/// part that includes the GIF unit is running.
struct TGifUnitRegistration {
    /// The first registration registers the class.
    TGifUnitRegistration();
    /// The last one gone unregisters it.
    ~TGifUnitRegistration();
};
/// The registration of every program part that includes the GIF unit.
inline const TGifUnitRegistration gifUnitRegistration;
