#include "gif/animated_image.h"

#include <QCoreApplication>

#include "imaging/ext_graphic.h"
#include "toolkit/bitmap.h"
#include "toolkit/timer.h"

namespace {

// What a frame without a delay waits, so that the event loop keeps running.
constexpr int kShortestDelayMs = 5;

}  // namespace

TCustomZVQAnimatedImage::TCustomZVQAnimatedImage(QWidget* parent, const QString& name)
    : TGraphicControl(parent, name),
      frames_(std::make_unique<TBitmapList>()),
      masks_(std::make_unique<TBitmapList>()),
      images_(std::make_unique<TAnimatedImageList>()),
      timer_(new TTimer(this, QStringLiteral("Timer"), 0)) {
    // Delays are part of the picture: a coarse timer would let them drift by 5%.
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, [this] { HandleTimeout(); });
    images_->setObjectName(QStringLiteral("Images"));
    images_->OnImageInserted = [this](TObject* sender, int index) { ImageInserted(sender, index); };
    images_->OnImageDeleted = [this](TObject* sender, int index) { ImageDeleted(sender, index); };
    images_->OnProgressChange = [this](TObject*) { HandleOnProgress(); };
    resize(50, 50);
    imageRect_ = QRect(0, 0, 50, 50);
    CreateBitmaps();
}

TCustomZVQAnimatedImage::~TCustomZVQAnimatedImage() {
    Stop();
    images_->OnImageDeleted = nullptr;
    images_.reset();
}

// --- Playing ---------------------------------------------------------------------

void TCustomZVQAnimatedImage::Run() {
    Stop();
    currentFrame_ = 0;
    startPlaying();
}

void TCustomZVQAnimatedImage::Stop() {
    timer_->setEnabled(false);
    previousDisposal_ = TDisposalMethods::dmRestoreBackground;
    Invalidate();
}

void TCustomZVQAnimatedImage::Restart() {
    CreateBitmaps();
    currentFrame_ = 0;
    previousDisposal_ = TDisposalMethods::dmRestoreBackground;
    Invalidate();
}

// The first frame comes at once; from then on each frame stays its own
// delay, as a GIF means it, and waits for the user when it asks to.
void TCustomZVQAnimatedImage::startPlaying() {
    if (images_->GetCount() == 0) return;
    waitingForInput_ = false;
    timer_->setInterval(kShortestDelayMs);
    timer_->setEnabled(true);
}

// Times the current frame. A frame with user input and no delay waits for
// the user alone: the timer counts as running but never fires.
void TCustomZVQAnimatedImage::StartTimer() {
    if (images_->GetCount() == 0) {
        timer_->setEnabled(false);
        return;
    }
    int interval = images_->GetDelayTime(currentFrame_);
    waitingForInput_ = images_->GetUserInput(currentFrame_);
    if (interval == 0 && !waitingForInput_) interval = kShortestDelayMs;
    timer_->setInterval(interval);
    timer_->setEnabled(true);
}

// The frame is timed as soon as it shows, before the animation moves on.
void TCustomZVQAnimatedImage::HandleTimeout() {
    timer_->setEnabled(false);
    DrawNextImage();
    StartTimer();
    ++currentFrame_;
    if (currentFrame_ < images_->GetCount()) return;
    if (images_->GetState() == TAnimatedImageState::isLoading) {
        --currentFrame_;  // shown again at the next tick, until more frames arrive
        return;
    }
    currentFrame_ = 0;
    if (loopsRemaining_ > 0) --loopsRemaining_;
    if (images_->GetCount() == 1 || loopsRemaining_ == 1) timer_->setEnabled(false);
}

// A stopped control waits for nobody, whatever its last frame asked.
void TCustomZVQAnimatedImage::UserInput() {
    if (waitingForInput_ && timer_->Enabled()) HandleTimeout();
}

void TCustomZVQAnimatedImage::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x,
                                        int y) {
    TGraphicControl::MouseDown(button, shift, x, y);
    UserInput();
}

void TCustomZVQAnimatedImage::CopyToClipboard() {
    if (shownFrame_ >= 0) images_->GetItems(shownFrame_)->CopyToClipboard();
}

// Lets ticks and paints run between the reads of a load.
void TCustomZVQAnimatedImage::HandleOnProgress() {
    if (OnProgress) OnProgress(this);
    QCoreApplication::processEvents();
}

// --- Properties ------------------------------------------------------------------

void TCustomZVQAnimatedImage::SetAutoRun(bool value) {
    autoRun_ = value;
    if (value) {
        Run();
    } else {
        Stop();
    }
}

void TCustomZVQAnimatedImage::SetAutoSize(bool value) {
    autoSize_ = value;
    Restart();
}

void TCustomZVQAnimatedImage::SetStretch(bool value) {
    if (value == stretch_) return;
    stretch_ = value;
    ResetImages();
}

void TCustomZVQAnimatedImage::SetTransparent(bool value) {
    if (value == allowTransparent_) return;
    allowTransparent_ = value;
    setAttribute(Qt::WA_OpaquePaintEvent, !value);
    composed_ = false;
    Invalidate();
}

void TCustomZVQAnimatedImage::SetBackgroundColor(TColor colour) {
    backgroundColor_ = colour;
    Canvas()->Brush.Color = colour;
}

void TCustomZVQAnimatedImage::SetImages(TAnimatedImageList* list) {
    images_->Assign(list);
}

// --- Frames arriving and leaving ---------------------------------------------------

void TCustomZVQAnimatedImage::ImageInserted(TObject* sender, int index) {
    if (sender != images_.get()) return;
    if (images_->GetCount() == 1) {
        takeScales();
        if (!stretch_ && autoSize_) resize(images_->GetWidth(), images_->GetHeight());
        SetCenter(center_);
        CreateBitmaps();
        SetBackgroundColor(images_->GetBackgroundColor());
        currentFrame_ = 0;
        frames_->Clear();
        masks_->Clear();
        previousDisposal_ = TDisposalMethods::dmRestoreBackground;
    }
    LoadImage(index);
    if (!timer_->Enabled()) {
        if (autoRun_) {
            startPlaying();
        } else if (images_->GetCount() == 1) {
            Invalidate();
        }
    }
    const int loops = images_->GetLoopCount();
    loopsRemaining_ = loops > 0 ? loops + 1 : loops;
}

// Called before the list lets the frame go.
void TCustomZVQAnimatedImage::ImageDeleted(TObject* sender, int index) {
    if (sender != images_.get()) return;
    frames_->Delete(index);
    masks_->Delete(index);
    if (shownFrame_ == index) {
        shownFrame_ = -1;
    } else if (shownFrame_ > index) {
        --shownFrame_;
    }
    if (frames_->GetCount() == 0) {
        composed_ = false;
        Stop();
        Canvas()->StretchDraw(QRect(imageRect_.topLeft(), snapshot_->Image().size()),
                              snapshot_->Image());
    } else if (currentFrame_ >= frames_->GetCount()) {
        currentFrame_ = 0;
    }
}
