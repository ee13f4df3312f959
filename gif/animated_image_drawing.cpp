#include <cmath>

#include "gif/animated_image.h"
#include "gif/gif_decoder.h"
#include "gif/pixel_limit.h"
#include "imaging/ext_graphic.h"
#include "toolkit/bitmap.h"
#include "toolkit/monochrome_mask.h"
#include "toolkit/timer.h"

namespace {

int scaled(int value, double scale) {
    return int(std::lround(value * scale));
}

std::unique_ptr<TBitmap> bitmapOf(const QImage& image) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetImage(image);
    return bitmap;
}

}  // namespace

// --- Bitmaps and frame caches --------------------------------------------------------

// Two 32-bit bitmaps of the drawing size: half the limit's pixels at most,
// 256 MiB at the default.
std::int64_t TCustomZVQAnimatedImage::drawingLimit() const { return images_->decoder()->pixelLimit() / 2; }

void TCustomZVQAnimatedImage::CreateBitmaps() {
    const QSize size = stretch_ ? this->size() : QSize(images_->GetWidth(), images_->GetHeight());
    checkPixelLimit(size.width(), size.height(), drawingLimit());
    snapshot_ = TZVQExtGraphic::CreateBitmap(size.width(), size.height());
    composition_ = TZVQExtGraphic::CreateBitmap(size.width(), size.height());
    currentMask_ = std::make_unique<TBitmap>();
    savedComposition_ = std::make_unique<TBitmap>();
    savedMask_ = std::make_unique<TBitmap>();
    composed_ = false;
}

void TCustomZVQAnimatedImage::takeScales() {
    horizontalScale_ = verticalScale_ = 1.0;
    if (stretch_ && images_->GetWidth() > 0 && images_->GetHeight() > 0) {
        horizontalScale_ = double(width()) / images_->GetWidth();
        verticalScale_ = double(height()) / images_->GetHeight();
    }
}

// A mask covers its frame alone: beyond the frame, everything shows through
// as though the mask's bits were 1 there.
std::unique_ptr<TBitmap> TCustomZVQAnimatedImage::CreateMask(const TBitmap* frame, TColor transparent) const {
    return bitmapOf(monochromeMask(frame->Image().size(), frame->Image(), QPoint(0, 0), toQColor(transparent).rgb()));
}

// What of a frame lies off the logical screen never shows: it is cut off
// before the frame is cached, so that the cache follows what can be seen.
void TCustomZVQAnimatedImage::LoadImage(int index) {
    TZVQExtGraphic* graphic = images_->GetItems(index);
    QPoint origin = images_->GetOrigin(index);
    std::unique_ptr<TBitmap> bitmap = graphic->AsBitmap();
    const QRect screen(0, 0, images_->GetWidth(), images_->GetHeight());
    const QRect placed(origin, bitmap->Image().size());
    if (!screen.isEmpty() && !screen.contains(placed)) {
        const QRect shown = placed.intersected(screen);
        // copy() of an empty rectangle would copy the whole picture.
        bitmap->SetImage(shown.isEmpty() ? QImage() : bitmap->Image().copy(shown.translated(-origin)));
        origin = shown.isEmpty() ? QPoint(0, 0) : shown.topLeft();
    }
    frames_->Insert(index, std::move(bitmap));
    frames_->SetOrigin(index, origin);
    masks_->Insert(index, CreateMask(frames_->GetItems(index), graphic->GetTransparentColour()));
    if (!stretch_) return;
    const TBitmap* frame = frames_->GetItems(index);
    frames_->Stretch(index, scaled(frame->Width(), horizontalScale_),
                     scaled(frame->Height(), verticalScale_));
    frames_->SetOrigin(
        index, QPoint(scaled(origin.x(), horizontalScale_), scaled(origin.y(), verticalScale_)));
    TBitmap* mask = masks_->GetItems(index);
    masks_->Stretch(index, scaled(mask->Width(), horizontalScale_),
                    scaled(mask->Height(), verticalScale_));
    // Stretching leaves black and white colour pixels; the mask is made
    // monochrome again.
    mask->SetImage(
        monochromeMask(mask->Image().size(), mask->Image(), QPoint(0, 0), qRgb(255, 255, 255)));
}

// Rebuilds the caches for the control's size when stretching, at the
// screen's size when not.
void TCustomZVQAnimatedImage::ResetImages() {
    if (images_->GetCount() == 0) return;
    takeScales();
    frames_->Clear();
    masks_->Clear();
    for (int i = 0; i < images_->GetCount(); ++i) LoadImage(i);
    SetCenter(center_);
    Restart();
}

// Centring places the picture as drawn, so that a stretched picture, which
// fills the control, stays where it is.
void TCustomZVQAnimatedImage::SetCenter(bool value) {
    center_ = value;
    const QSize picture(scaled(images_->GetWidth(), horizontalScale_),
                        scaled(images_->GetHeight(), verticalScale_));
    const QPoint offset =
        center_ ? QPoint((width() - picture.width()) / 2, (height() - picture.height()) / 2)
                : QPoint(0, 0);
    imageRect_ = QRect(offset, picture);
    Invalidate();
}

// --- Composition --------------------------------------------------------------------

void TCustomZVQAnimatedImage::DrawNextImage() {
    drawImage(currentFrame_);
}

void TCustomZVQAnimatedImage::drawImage(int frame) {
    if (frame >= frames_->GetCount() || composition_->Empty()) return;
    const TDisposalMethods disposal = images_->GetDisposalMethod(frame);
    const bool seeThrough = allowTransparent_ && images_->GetItems(frame)->GetTransparent();
    disposePrevious(frame, seeThrough);
    // What the frame will be taken back to: the picture once the frame
    // before it has gone as its disposal asked.
    if (disposal == TDisposalMethods::dmRestorePrevious) {
        savedComposition_->Assign(composition_.get());
        savedMask_->Assign(currentMask_.get());
    }
    drawFrame(frame, seeThrough);
    previousDisposal_ = disposal;
    shownFrame_ = frame;
    composed_ = true;
    showComposition();
    emit frameShown(frame);
}

void TCustomZVQAnimatedImage::showComposition() {
    Canvas()->StretchDraw(QRect(imageRect_.topLeft(), composition_->Image().size()),
                          composition_->Image());
}

// The frame's mask laid on the whole picture: 1 bits wherever the frame
// does not cover it.
QImage TCustomZVQAnimatedImage::screenMask(int frame) const {
    const QImage& mask = masks_->GetItems(frame)->Image();
    QImage screen = monochromeMask(composition_->Image().size(), QImage(), QPoint(0, 0), 0);
    andMask(screen, mask, frames_->GetOrigin(frame));
    return screen;
}

// The frame drawn last leaves the composition as its disposal method asks.
void TCustomZVQAnimatedImage::disposePrevious(int frame, bool seeThrough) {
    TBitmap* mask = masks_->GetItems(frame);
    QImage combined;
    switch (previousDisposal_) {
        case TDisposalMethods::dmNone:
        case TDisposalMethods::dmRestoreBackground:
            if (seeThrough) {
                composition_->Assign(snapshot_.get());
            } else {
                TCanvas* canvas = composition_->Canvas();
                canvas->Brush.Color = backgroundColor_;
                canvas->FillRect(QRect(QPoint(0, 0), composition_->Image().size()));
            }
            currentMask_->SetImage(screenMask(frame));
            return;
        case TDisposalMethods::dmRestorePrevious:
            composition_->Assign(savedComposition_.get());
            currentMask_->Assign(savedMask_.get());
            [[fallthrough]];
        case TDisposalMethods::dmLeaveInPlace:
            combined = currentMask_->Image();
            andMask(combined, mask->Image(), frames_->GetOrigin(frame));
            currentMask_->SetImage(combined);
            return;
    }
}

// A see-through frame goes in with its own mask: XOR, AND, XOR leaves the
// composition where the frame has its transparent colour.
void TCustomZVQAnimatedImage::drawFrame(int frame, bool seeThrough) {
    const TBitmap* bitmap = frames_->GetItems(frame);
    const QRect place(frames_->GetOrigin(frame), bitmap->Image().size());
    TCanvas* canvas = composition_->Canvas();
    if (!seeThrough) {
        canvas->StretchDraw(place, bitmap->Image());
        return;
    }
    const QImage& mask = masks_->GetItems(frame)->Image();
    canvas->CopyMode = TCopyMode::cmSrcInvert;
    canvas->StretchDraw(place, bitmap->Image());
    canvas->CopyMode = TCopyMode::cmSrcAnd;
    canvas->StretchDraw(QRect(place.topLeft(), mask.size()), mask);
    canvas->CopyMode = TCopyMode::cmSrcInvert;
    canvas->StretchDraw(place, bitmap->Image());
    canvas->CopyMode = TCopyMode::cmSrcCopy;
}

// --- Painting -----------------------------------------------------------------------

// A repaint shows the picture as it stands: it neither moves the animation
// on nor takes it back to its first frame. The parent's background, taken
// anew, shows through from the next frame on; a picture that has to be
// composed again (new bitmaps, a change of transparency) shows the frame on
// show, or the current one before any.
void TCustomZVQAnimatedImage::Paint() {
    // A control grown past what its bitmaps may take goes on showing the
    // picture at the size it had: an exception must not leave a paint event.
    if (stretch_ && snapshot_->Image().size() != size() &&
        std::int64_t(width()) * height() <= drawingLimit())
        ResetImages();
    const QRect clip = ClipRect().intersected(imageRect_);
    if (clip.isEmpty() || snapshot_->Empty()) return;
    // The canvas holds what the parent painted under the control.
    snapshot_->Canvas()->CopyRect(clip.translated(-imageRect_.topLeft()), *Canvas(), clip);
    if (composed_) {
        showComposition();
        return;
    }
    if (shownFrame_ < 0 && !timer_->Enabled()) currentFrame_ = 0;
    drawImage(shownFrame_ >= 0 ? shownFrame_ : currentFrame_);
}
