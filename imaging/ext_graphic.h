#pragma once

#include <QRect>
#include <memory>

#include "toolkit/colors.h"
#include "toolkit/persistent.h"

class TBitmap;
class TCanvas;

// The base of the library's graphics: a size, a transparent colour, drawing
// onto a canvas, the clipboard, and conversion to a toolkit bitmap (which is
// also how it assigns itself to one).
class TZVQExtGraphic : public TPersistent {
public:
    TZVQExtGraphic() = default;
    // Copies the transparency settings.
    explicit TZVQExtGraphic(const TZVQExtGraphic* source);

    virtual int GetHeight() const = 0;
    virtual int GetWidth() const = 0;
    virtual void SetTransparent(bool transparent) { transparent_ = transparent; }
    bool GetTransparent() const { return transparent_; }
    TColor GetTransparentColour() const { return transparentColour_; }
    void SetTransparentColour(TColor colour) { transparentColour_ = colour; }

    // A new screen-compatible toolkit bitmap showing this graphic; it carries
    // the transparent colour when the graphic has one.
    virtual std::unique_ptr<TBitmap> AsBitmap();
    virtual void CopyToClipboard() = 0;
    virtual void Draw(TCanvas* canvas, const QRect& rect) = 0;

    // A new object of this object's own class with the same contents.
    std::unique_ptr<TZVQExtGraphic> Copy() const { return clone(); }
    // A new screen-compatible toolkit bitmap of that size.
    static std::unique_ptr<TBitmap> CreateBitmap(int width, int height);

protected:
    void AssignTo(TPersistent* dest) override;
    // The virtual copy constructor behind Copy.
    virtual std::unique_ptr<TZVQExtGraphic> clone() const = 0;

private:
    bool transparent_ = false;
    TColor transparentColour_ = 0xFFFFFF;
};
