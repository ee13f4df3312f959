#pragma once

#include "toolkit/bitmap.h"

class TZVQ_CustomGifCompressor;
class TZVQ_CustomGifDecompressor;

// A toolkit bitmap that reads and writes GIF, so that pictures take ".gif"
// files like their own formats. It borrows the default decoder or encoder
// a window made (their settings and events apply), else uses its own.
class TGIFBitmap : public TBitmap {
public:
    // The first image of the stream; a damaged stream leaves the bitmap as
    // it was and raises nothing.
    void LoadFromStream(TStream* stream) override;
    void SaveToStream(TStream* stream) const override;
    // A name ending in ".gif" (any letter case) is written as GIF, any
    // other as a bitmap file.
    void SaveToFile(const QString& fileName) const override;

    void HandleDecompressOnProgress(TObject* sender);
    void HandleCompressOnProgress(TObject* sender) const;

private:
    mutable bool saveAsBitmap_ = false;
    TZVQ_CustomGifDecompressor* decoder_ = nullptr;
    mutable TZVQ_CustomGifCompressor* encoder_ = nullptr;
    mutable TNotifyEvent savedProgress_;
};

// Registers TGIFBitmap for "gif" with the picture class while any program
// part that includes the GIF unit is running.
struct TGifUnitRegistration {
    TGifUnitRegistration();
    ~TGifUnitRegistration();
};
inline const TGifUnitRegistration gifUnitRegistration;
