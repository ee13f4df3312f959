#pragma once

#include <QRect>
#include <memory>

#include "gif/animated_image_list.h"
#include "gif/bitmap_list.h"
#include "gif/gif_types.h"
#include "toolkit/graphic_control.h"

class TBitmap;
class TTimer;

/// @file
/// The control that plays animated image lists.

/// Plays the frames of its animated image list with the GIF89a rules: each
/// frame's delay, disposal method, user-input wait and transparency, and the
/// list's loop count. Every frame is composed off-screen and then copied to
/// the control, over what the parent paints beneath it. Frames may arrive
/// while the list is still loading: playing starts with the first one.
///
/// The frame cache holds each frame as far as it lies on the logical screen,
/// with a mask of the same size, so that it follows the frames' own sizes.
/// The composition, the background snapshot and the current mask have the
/// drawing size: the screen's, or the control's when stretching. A drawing
/// size over half the list's decoder's pixel limit is refused with EGIFError
/// before they are made. Each tick fills or copies the composition and shows it
/// whole, so its cost is the drawing size's, bounded by that limit.
///
/// The refusal is "Image of %1 x %2 pixels is over the limit of %3 pixels",
/// %3 half of GetImages()->decoder()->pixelLimit(): the two 32-bit bitmaps
/// of the drawing size take 256 MiB at the default. It comes from Restart,
/// SetAutoSize, SetStretch, and the list's load or insert of a first frame,
/// which then leaves the list as it was before that frame.
///
/// A loop count of n plays the frames n times; 0 (also a list without a
/// looping extension) plays them for ever. A frame without a delay stays
/// 5 ms, so that the event loop keeps running.
class TCustomZVQAnimatedImage : public TGraphicControl {
    Q_OBJECT
public:
    /// A 50 x 50 control owned by @p parent, named @p name, with an empty
    /// list of its own (object name "Images") and a timer child ("Timer").
    TCustomZVQAnimatedImage(QWidget* parent, const QString& name);
    /// Stops; the list goes with the control.
    ~TCustomZVQAnimatedImage() override;

    /// Plays from the first frame, which comes at once.
    void Run();
    /// Stops where it is; the frame on show stays.
    void Stop();
    /// New bitmaps for the drawing size (EGIFError over half the limit) and
    /// back to the first frame, without playing.
    void Restart();
    /// Shows the next frame at once when the current one waits for the user.
    void UserInput();
    /// Puts the graphic of the frame on show on the clipboard; nothing
    /// before a frame has shown.
    void CopyToClipboard();
    /// One tick of the timer: shows the current frame and moves on.
    void HandleTimeout();

    ///@{
    /// Transparent frames let what the parent paints show through; off, the
    /// background colour shows. On by default.
    bool GetAllowTransparent() const { return allowTransparent_; }
    void SetTransparent(bool value);
    ///@}
    ///@{
    /// The colour behind frames that are not see-through; the list's
    /// background colour once its first frame arrives.
    TColor GetBackgroundColor() const { return backgroundColor_; }
    void SetBackgroundColor(TColor colour);
    ///@}
    /// The list played, owned by the control: load it to play a GIF.
    TAnimatedImageList* GetImages() const { return images_.get(); }
    /// Takes a copy of `list` (TAnimatedImageList::Assign); @p list stays
    /// the caller's.
    void SetImages(TAnimatedImageList* list);
    ///@{
    /// Playing starts by itself as frames arrive; on by default. Setting it
    /// runs or stops the control.
    bool GetAutoRun() const { return autoRun_; }
    void SetAutoRun(bool value);
    ///@}
    ///@{
    /// The control takes the logical screen's size when the first frame
    /// arrives (not when stretching); setting it restarts the control.
    bool GetAutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    ///@}
    ///@{
    /// The picture lies in the middle of the control, else at its top-left
    /// corner.
    bool GetCenter() const { return center_; }
    void SetCenter(bool value);
    ///@}
    ///@{
    /// The picture is scaled to fill the control; setting it rebuilds the
    /// frame cache and restarts the control.
    bool GetStretch() const { return stretch_; }
    void SetStretch(bool value);
    ///@}

    /// Where the picture lies on the control.
    QRect imageRect() const { return imageRect_; }
    ///@{
    /// The scales from the logical screen to the control; 1 unless stretching.
    double horizontalScale() const { return horizontalScale_; }
    double verticalScale() const { return verticalScale_; }
    ///@}
    ///@{
    /// The frame the next tick shows, and the frame shown last (-1: none).
    int currentFrame() const { return currentFrame_; }
    int shownFrame() const { return shownFrame_; }
    ///@}
    /// Passes left to play plus one; 0 for ever.
    int loopsRemaining() const { return loopsRemaining_; }
    /// The frame on show waits for the user (UserInput, a mouse press).
    bool waitingForInput() const { return waitingForInput_; }
    /// The control's timer, a child of the control.
    TTimer* timer() const { return timer_; }
    ///@{
    /// The frames as cached for drawing, and their masks, owned by the control.
    const TBitmapList* frameCache() const { return frames_.get(); }
    const TBitmapList* maskCache() const { return masks_.get(); }
    ///@}
    /// Where the picture still lets the background through (1 bits).
    const TBitmap* currentMask() const { return currentMask_.get(); }

    /// The list's load has got further; ticks and paints run between the
    /// reads.
    TNotifyEvent OnProgress;

signals:
    /// A frame has been shown.
    void frameShown(int index);

protected:
    /// Shows the picture as it stands: a repaint neither moves the animation
    /// on nor takes it back to its first frame.
    void Paint() override;
    /// A press also answers a frame that waits for the user.
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) override;
    /// A frame of the list is in place: it is cached (and the first one
    /// sets the control up, EGIFError over half the limit).
    virtual void ImageInserted(TObject* sender, int index);
    /// Called before the list lets the frame go: it leaves the cache.
    virtual void ImageDeleted(TObject* sender, int index);

private:
    std::int64_t drawingLimit() const;
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

/// The control with its properties published.
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
    /// A control owned by @p parent, named @p name.
    using TCustomZVQAnimatedImage::TCustomZVQAnimatedImage;
};
