#include "gif/gif_bitmap.h"

#include <QFileInfo>

#include "gif/clean_up.h"
#include "gif/gif_decoder.h"
#include "gif/gif_encoder.h"
#include "imaging/device_independent_bitmap.h"
#include "toolkit/picture.h"
#include "toolkit/streams.h"

namespace {

const QRect kNoRect;

int registrations = 0;

}  // namespace

TGifUnitRegistration::TGifUnitRegistration() {
    if (registrations++ == 0) TPicture::RegisterFileFormat<TGIFBitmap>("gif", "Compuserve GIF Image");
}

TGifUnitRegistration::~TGifUnitRegistration() {
    if (--registrations == 0) TPicture::UnregisterGraphicClass<TGIFBitmap>();
}

void TGIFBitmap::HandleDecompressOnProgress(TObject* sender) {
    if (savedProgress_) savedProgress_(sender);
    if (decoder_) {
        Progress(sender, TProgressStage::psRunning, decoder_->GetPercentDone(), false, kNoRect,
                 QStringLiteral("Decompressing Image"));
    }
}

void TGIFBitmap::HandleCompressOnProgress(TObject* sender) const {
    if (savedProgress_) savedProgress_(sender);
    if (encoder_) {
        Progress(sender, TProgressStage::psRunning, encoder_->GetPercentDone(), false, kNoRect,
                 QStringLiteral("Compressing Image"));
    }
}

void TGIFBitmap::LoadFromStream(TStream* stream) {
    std::unique_ptr<TZVQ_GIFDecompressor> own;
    decoder_ = defaultGifDecompressor();
    if (!decoder_) {
        own = std::make_unique<TZVQ_GIFDecompressor>();
        decoder_ = own.get();
    }
    Progress(this, TProgressStage::psStarting, 0, false, kNoRect, QStringLiteral("Opening GIF Image"));
    savedProgress_ = decoder_->OnProgressReport;
    decoder_->OnProgressReport = [this](TObject* sender) { HandleDecompressOnProgress(sender); };
    const auto restore = [&] {
        decoder_->OnProgressReport = savedProgress_;
        decoder_->CloseImageStream();
        decoder_ = nullptr;
    };
    std::unique_ptr<TDeviceIndependentBitmap> dib;
    try {
        dib = decoder_->ReadDIBitmapFromStream(stream, TDIBFormat::dt8bit);
    } catch (const Exception&) {
        // A damaged GIF leaves what the bitmap held.
        restore();
        return;
    }
    withCleanUp([&] { if (dib) Assign(dib.get()); },
                [&] {
                    Progress(this, TProgressStage::psEnding, 0, false, kNoRect, QStringLiteral("Decompression completed"));
                    restore();
                });
}

void TGIFBitmap::SaveToStream(TStream* stream) const {
    if (saveAsBitmap_) {
        TBitmap::SaveToStream(stream);
        return;
    }
    std::unique_ptr<TZVQ_GIFCompressor> own;
    encoder_ = defaultGifCompressor();
    if (!encoder_) {
        own = std::make_unique<TZVQ_GIFCompressor>();
        encoder_ = own.get();
    }
    Progress(const_cast<TGIFBitmap*>(this), TProgressStage::psStarting, 0, false, kNoRect,
             QStringLiteral("Opening GIF Image"));
    savedProgress_ = encoder_->OnProgressReport;
    encoder_->OnProgressReport = [this](TObject* sender) { HandleCompressOnProgress(sender); };
    withCleanUp([&] { encoder_->SaveBitMapToStream(const_cast<TGIFBitmap*>(this), stream); },
                [&] {
                    encoder_->CloseImageStream();
                    Progress(const_cast<TGIFBitmap*>(this), TProgressStage::psEnding, 0, false, kNoRect,
                             QStringLiteral("Decompression completed"));
                    encoder_->OnProgressReport = savedProgress_;
                    encoder_ = nullptr;
                });
}

void TGIFBitmap::SaveToFile(const QString& fileName) const {
    saveAsBitmap_ = QFileInfo(fileName).suffix().compare(QStringLiteral("gif"), Qt::CaseInsensitive) != 0;
    withCleanUp([&] { TBitmap::SaveToFile(fileName); }, [&] { saveAsBitmap_ = false; });
}
