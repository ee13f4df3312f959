#include "imaging/bitmap_helpers.h"

#include <QPainter>

#include "imaging/ext_graphic.h"
#include "toolkit/bitmap.h"
#include "toolkit/metafile.h"

std::unique_ptr<TBitmap> CropBitmap(TBitmap* bitmap, int width, int height, const QRect& source) {
    std::unique_ptr<TBitmap> result = TZVQExtGraphic::CreateBitmap(width, height);
    if (result->Empty()) return result;
    // Scaling the cut-out on its own averages every source pixel into the
    // result when shrinking, as halftone stretching does; drawing it scaled
    // would only sample.
    const QImage cut = bitmap->Image().copy(source);
    if (!cut.isNull()) {
        QPainter painter(result->Canvas()->Device());
        painter.drawImage(
            0, 0, cut.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    const TColorTable palette = bitmap->Palette();
    if (!palette.isEmpty()) result->SetPalette(palette);
    return result;
}

std::unique_ptr<TBitmap> ReSizeBitmap(TBitmap* bitmap, int width, int height) {
    return CropBitmap(bitmap, width, height, QRect(0, 0, bitmap->Width(), bitmap->Height()));
}

std::unique_ptr<TBitmap> MetaToBitmap(TMetafile* metafile, int width, int height) {
    std::unique_ptr<TBitmap> result = TZVQExtGraphic::CreateBitmap(width, height);
    if (result->Empty()) return result;
    TCanvas* canvas = result->Canvas();
    QPainter painter(canvas->Device());
    const QRect area(0, 0, width, height);
    painter.fillRect(area, toQColor(canvas->Brush.Color));
    if (!metafile->Play(painter, area)) {
        throw Exception(
            QStringLiteral("Unable to render metafile as a bitmap - PlayEnhMetaFile returned %1")
                .arg(metafile->LastError()));
    }
    return result;
}
