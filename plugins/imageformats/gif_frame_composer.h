#pragma once

#include <QImage>

#include "gif/gif_types.h"

class TZVQExtGraphic;

// Lays the graphics of an animation one after the other onto the logical
// screen by the GIF89a rules: the screen starts transparent, transparent
// pixels leave it as it is, and each graphic's disposal is carried out
// before the next one is drawn (the background is transparent).
class GifFrameComposer {
public:
    void start(int width, int height);
    // `transparentIndex` is -1 when the graphic has no transparent pixels.
    const QImage& add(TZVQExtGraphic* graphic, const TGIFGraphicControlInfo& info, int transparentIndex);
    const QImage& screen() const { return screen_; }

private:
    void dispose();
    void draw(TZVQExtGraphic* graphic, QPoint origin, int transparentIndex);

    QImage screen_;
    QImage beforeLast_;  // the screen before the last graphic, when it is to come back
    QRect lastRect_;
    TDisposalMethods lastDisposal_ = TDisposalMethods::dmNone;
};
