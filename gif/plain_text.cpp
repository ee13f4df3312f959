#include "gif/plain_text.h"

#include "imaging/device_independent_bitmap.h"
#include "toolkit/bitmap.h"
#include "toolkit/canvas.h"
#include "toolkit/clipboard.h"
#include "toolkit/cp1250.h"

TPlainText::TPlainText(const TPlainText* source)
    : TZVQExtGraphic(source),
      gridWidth_(source->gridWidth_),
      gridHeight_(source->gridHeight_),
      cellWidth_(source->cellWidth_),
      cellHeight_(source->cellHeight_),
      foreground_(source->foreground_),
      background_(source->background_),
      text_(source->text_.constData(), source->text_.size()),
      hasText_(source->hasText_) {}

std::unique_ptr<TZVQExtGraphic> TPlainText::clone() const { return std::make_unique<TPlainText>(this); }

void TPlainText::SetGridSize(int width, int height) {
    gridWidth_ = width;
    gridHeight_ = height;
}

void TPlainText::SetCellSize(int width, int height) {
    cellWidth_ = width;
    cellHeight_ = height;
}

void TPlainText::SetText(const char* text) {
    FreeText();
    if (!text) return;
    text_ = QByteArray(text);  // a copy of its own, up to the zero byte
    hasText_ = true;
}

void TPlainText::FreeText() {
    text_.clear();
    hasText_ = false;
}

QString TPlainText::displayText() const { return hasText_ ? fromCp1250(text_) : QString(); }

void TPlainText::CopyToClipboard() { Clipboard()->SetTextBuf(displayText()); }

void TPlainText::Draw(TCanvas* canvas, const QRect& rect) {
    if (rect.width() != gridWidth_ || rect.height() != gridHeight_) {
        std::unique_ptr<TBitmap> own = AsBitmap();
        canvas->StretchDraw(rect, own->Image());
        return;
    }
    canvas->Font.FixedPitch = true;
    canvas->Font.Height = cellHeight_;
    canvas->Font.Color = foreground_;
    canvas->Brush.Color = background_;
    if (!GetTransparent()) canvas->FillRect(rect);
    canvas->TextRect(rect, rect.left(), rect.top(), displayText());
}

std::unique_ptr<TDeviceIndependentBitmap> TPlainText::AsDIB(TDIBFormat format, QPoint origin, int width,
                                                            int height, TColor colour) {
    std::unique_ptr<TBitmap> bitmap = CreateBitmap(width, height);
    TCanvas* canvas = bitmap->Canvas();
    canvas->Brush.Color = colour;
    canvas->FillRect(QRect(0, 0, width, height));
    Draw(canvas, QRect(origin, QSize(gridWidth_, gridHeight_)));
    return std::make_unique<TDeviceIndependentBitmap>(bitmap.get(), format);
}
