#pragma once

#include <QRect>
#include <memory>

#include "toolkit/colors.h"
#include "toolkit/persistent.h"

class TBitmap;
class TCanvas;

/// @file
/// The base of the library's graphics.

/// The base of the library's graphics: a size, a transparent colour, drawing
/// onto a canvas, the clipboard, and conversion to a toolkit bitmap (which is
/// also how it assigns itself to one).
class TZVQExtGraphic : public TPersistent {
public:
    /// Not transparent; the transparent colour white.
    TZVQExtGraphic() = default;
    /// Copies the transparency settings.
    explicit TZVQExtGraphic(const TZVQExtGraphic* source);

    ///@{
    /// The size in pixels.
    virtual int GetHeight() const = 0;
    virtual int GetWidth() const = 0;
    ///@}
    ///@{
    /// Whether the transparent colour is left out when the graphic is shown.
    virtual void SetTransparent(bool transparent) { transparent_ = transparent; }
    bool GetTransparent() const { return transparent_; }
    ///@}
    ///@{
    /// The colour left out when the graphic is transparent.
    TColor GetTransparentColour() const { return transparentColour_; }
    void SetTransparentColour(TColor colour) { transparentColour_ = colour; }
    ///@}

    /// A new screen-compatible toolkit bitmap showing this graphic, owned by
    /// the caller; it carries the transparent colour when the graphic has one.
    virtual std::unique_ptr<TBitmap> AsBitmap();
    /// Puts the graphic on the clipboard.
    virtual void CopyToClipboard() = 0;
    /// Draws the graphic on @p canvas within @p rect.
    virtual void Draw(TCanvas* canvas, const QRect& rect) = 0;

    /// A new object of this object's own class with the same contents, owned
    /// by the caller.
    std::unique_ptr<TZVQExtGraphic> Copy() const { return clone(); }
    /// A new screen-compatible toolkit bitmap of that size, white, owned by
    /// the caller; empty when a side is 0.
    static std::unique_ptr<TBitmap> CreateBitmap(int width, int height);

protected:
    /// Assigns AsBitmap's bitmap to a TBitmap or a TPicture; other
    /// destinations raise EConvertError.
    void AssignTo(TPersistent* dest) override;
    /// The virtual copy constructor behind Copy.
    virtual std::unique_ptr<TZVQExtGraphic> clone() const = 0;

private:
    bool transparent_ = false;
    TColor transparentColour_ = 0xFFFFFF;
};
