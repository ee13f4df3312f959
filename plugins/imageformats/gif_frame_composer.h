#pragma once

#include <QImage>

#include "gif/gif_types.h"

class TDeviceIndependentBitmap;
class TZVQExtGraphic;

// Lays the graphics of an animation one after the other onto the logical
// screen by the GIF89a rules: the screen starts transparent, transparent
// pixels leave it as it is, and each graphic's disposal is carried out
// before the next one is drawn (the background is transparent).
//
// One screen image is kept and changed in place: a graphic costs its own
// rectangle, its disposal that rectangle again. Only a caller that still
// holds the previous screen makes Qt copy the whole of it.
class GifFrameComposer {
public:
    // False, with no screen, when Qt's allocation limit refuses its size.
    bool start(int width, int height);
    // `transparentIndex` is -1 when the graphic has no transparent pixels.
    void add(TZVQExtGraphic* graphic, const TGIFGraphicControlInfo& info, int transparentIndex);
    const QImage& screen() const { return screen_; }
    // The screen's pixels the last graphic covered.
    std::int64_t lastPixels() const { return std::int64_t(lastRect_.width()) * lastRect_.height(); }

private:
    void dispose();
    void drawBitmap(const TDeviceIndependentBitmap& dib, QPoint origin, int transparentIndex);

    QImage screen_;
    QImage underLast_;  // what the last graphic covered, when it is to come back
    QRect lastRect_;
    TDisposalMethods lastDisposal_ = TDisposalMethods::dmNone;
};
