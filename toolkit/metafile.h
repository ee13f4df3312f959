#pragma once

#include <QPicture>
#include <QRect>

#include "toolkit/bitmap.h"
#include "toolkit/persistent.h"

class QPaintDevice;
class QPainter;

/// @file
/// Metafiles: recorded vector pictures.

/// Why the last Play failed, numbered as the platform numbers its errors.
namespace MetafileError {
constexpr int kNone = 0;          ///< played
constexpr int kNoPicture = 6;     ///< nothing recorded: no picture to play
constexpr int kInvalidData = 13;  ///< the recording cannot be read back
}  // namespace MetafileError

/// A recorded vector picture. Drawing with a QPainter on RecordingDevice()
/// records into it; Play replays the recording scaled to a rectangle.
class TMetafile : public TPersistent {
public:
    /// An empty metafile.
    TMetafile() = default;

    /// Copies another TMetafile's recording, size and palette; other sources
    /// as TPersistent::Assign says (EConvertError).
    void Assign(TPersistent* source) override;

    ///@{
    /// The frame the recording is played from: the size given by SetSize, or
    /// else the bounds of what was drawn.
    int Width() const { return frame().width(); }
    int Height() const { return frame().height(); }
    ///@}
    /// Fixes the frame's size.
    void SetSize(int width, int height);
    /// Nothing recorded.
    bool Empty() const { return picture_.isNull(); }
    /// Forgets the recording, the size and the palette.
    void Clear();

    /// The device to record on, owned by the metafile.
    QPaintDevice* RecordingDevice() { return &picture_; }
    /// False when there is nothing to play or the data is unreadable;
    /// LastError() then says which.
    bool Play(QPainter& painter, const QRect& rect);
    /// A MetafileError value for the last Play.
    int LastError() const { return lastError_; }

    ///@{
    /// Colours the picture wants when it is shown on a palette device.
    const TColorTable& Palette() const { return palette_; }
    void SetPalette(const TColorTable& palette) { palette_ = palette; }
    ///@}

private:
    QRect frame() const;

    QPicture picture_;
    QSize size_;
    TColorTable palette_;
    int lastError_ = MetafileError::kNone;
};
