#pragma once

#include <QRect>
#include <memory>

#include "gif/animated_image_list.h"
#include "gif/bitmap_list.h"
#include "gif/gif_types.h"
#include "toolkit/graphic_control.h"

class TBitmap;
class TTimer;

// Plays the frames of its animated image list with the GIF89a rules: each
// frame's delay, disposal method, user-input wait and transparency, and the
// list's loop count. Every frame is composed off-screen and then copied to
// the control, over what the parent paints beneath it. Frames may arrive
// while the list is still loading: playing starts with the first one.
//
// The frame cache holds each frame as far as it lies on the logical screen,
// with a mask of the same size, so that it follows the frames' own sizes.
// The composition, the background snapshot and the current mask have the
// drawing size: the screen's, or the control's when stretching. A drawing
// size over half the list's decoder's pixel limit is refused with EGIFError
// before they are made. Each tick fills or copies the composition and shows it
// whole, so its cost is the drawing size's, bounded by that limit.
class TCustomZVQAnimatedImage : public TGraphicControl {
    Q_OBJECT
public:
    TCustomZVQAnimatedImage(QWidget* parent, const QString& name);
    ~TCustomZVQAnimatedImage() override;

    void Run();
    void Stop();
    void Restart();
    // Shows the next frame at once when the current one waits for the user.
    void UserInput();
    // Puts the graphic of the frame on show on the clipboard.
    void CopyToClipboard();
    // One tick of the timer: shows the current frame and moves on.
    void HandleTimeout();

    bool GetAllowTransparent() const { return allowTransparent_; }
    void SetTransparent(bool value);
    TColor GetBackgroundColor() const { return backgroundColor_; }
    void SetBackgroundColor(TColor colour);
    TAnimatedImageList* GetImages() const { return images_.get(); }
    // Takes a copy of `list`.
    void SetImages(TAnimatedImageList* list);
    bool GetAutoRun() const { return autoRun_; }
    void SetAutoRun(bool value);
    bool GetAutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    bool GetCenter() const { return center_; }
    void SetCenter(bool value);
    bool GetStretch() const { return stretch_; }
    void SetStretch(bool value);

    // Where the picture lies on the control.
    QRect imageRect() const { return imageRect_; }
    double horizontalScale() const { return horizontalScale_; }
    double verticalScale() const { return verticalScale_; }
    // The frame the next tick shows, and the frame shown last (-1: none).
    int currentFrame() const { return currentFrame_; }
    int shownFrame() const { return shownFrame_; }
    int loopsRemaining() const { return loopsRemaining_; }
    bool waitingForInput() const { return waitingForInput_; }
    TTimer* timer() const { return timer_; }
    const TBitmapList* frameCache() const { return frames_.get(); }
    const TBitmapList* maskCache() const { return masks_.get(); }
    // Where the picture still lets the background through (1 bits).
    const TBitmap* currentMask() const { return currentMask_.get(); }

    TNotifyEvent OnProgress;

signals:
    void frameShown(int index);

protected:
    void Paint() override;
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) override;
    virtual void ImageInserted(TObject* sender, int index);
    virtual void ImageDeleted(TObject* sender, int index);

private:
    void CreateBitmaps();
    void LoadImage(int index);
    std::unique_ptr<TBitmap> CreateMask(const TBitmap* frame, TColor transparent) const;
    QImage screenMask(int frame) const;
    void ResetImages();
    void takeScales();
    void startPlaying();
    void StartTimer();
    void DrawNextImage();
    void drawImage(int frame);
    void showComposition();
    void disposePrevious(int frame, bool seeThrough);
    void drawFrame(int frame, bool seeThrough);
    void HandleOnProgress();

    bool allowTransparent_ = true;
    TColor backgroundColor_ = clBtnFace;
    std::unique_ptr<TBitmapList> frames_;
    std::unique_ptr<TBitmapList> masks_;
    std::unique_ptr<TAnimatedImageList> images_;
    TTimer* timer_;  // a child of the control
    bool autoRun_ = true;
    bool autoSize_ = false;
    int currentFrame_ = 0;
    bool center_ = false;
    bool stretch_ = false;
    TDisposalMethods previousDisposal_ = TDisposalMethods::dmRestoreBackground;
    std::unique_ptr<TBitmap> savedComposition_;
    std::unique_ptr<TBitmap> savedMask_;
    int loopsRemaining_ = 0;
    double horizontalScale_ = 1.0;
    double verticalScale_ = 1.0;
    QRect imageRect_;
    bool waitingForInput_ = false;
    std::unique_ptr<TBitmap> snapshot_;
    std::unique_ptr<TBitmap> composition_;
    std::unique_ptr<TBitmap> currentMask_;
    int shownFrame_ = -1;
    bool composed_ = false;  // the composition holds the frame on show
};

// The control with its properties published.
class TZVQ_AnimatedImage : public TCustomZVQAnimatedImage {
    Q_OBJECT
    Q_PROPERTY(bool AllowTransparent READ GetAllowTransparent WRITE SetTransparent)
    Q_PROPERTY(bool AutoRun READ GetAutoRun WRITE SetAutoRun)
    Q_PROPERTY(bool AutoSize READ GetAutoSize WRITE SetAutoSize)
    Q_PROPERTY(quint32 BackgroundColor READ GetBackgroundColor WRITE SetBackgroundColor)
    Q_PROPERTY(bool Center READ GetCenter WRITE SetCenter)
    Q_PROPERTY(TAnimatedImageList* Images READ GetImages WRITE SetImages)
    Q_PROPERTY(bool Stretch READ GetStretch WRITE SetStretch)

public:
    using TCustomZVQAnimatedImage::TCustomZVQAnimatedImage;
};
