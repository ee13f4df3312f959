#include "imaging/ext_graphic.h"

#include "toolkit/bitmap.h"
#include "toolkit/picture.h"

TZVQExtGraphic::TZVQExtGraphic(const TZVQExtGraphic* source)
    : transparent_(source->transparent_), transparentColour_(source->transparentColour_) {}

std::unique_ptr<TBitmap> TZVQExtGraphic::AsBitmap() {
    std::unique_ptr<TBitmap> bitmap = CreateBitmap(GetWidth(), GetHeight());
    Draw(bitmap->Canvas(), QRect(0, 0, GetWidth(), GetHeight()));
    if (transparent_) {
        bitmap->SetTransparent(true);
        bitmap->SetTransparentMode(TTransparentMode::tmFixed);
        bitmap->SetTransparentColor(transparentColour_);
    }
    return bitmap;
}

std::unique_ptr<TBitmap> TZVQExtGraphic::CreateBitmap(int width, int height) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetSize(width, height);
    return bitmap;
}

void TZVQExtGraphic::AssignTo(TPersistent* dest) {
    if (dynamic_cast<TBitmap*>(dest) || dynamic_cast<TPicture*>(dest)) {
        std::unique_ptr<TBitmap> bitmap = AsBitmap();
        dest->Assign(bitmap.get());
        return;
    }
    TPersistent::AssignTo(dest);
}
