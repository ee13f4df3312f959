#pragma once

#include <QByteArray>
#include <QPoint>
#include <memory>

#include "imaging/dib_format.h"
#include "imaging/ext_graphic.h"

class TDeviceIndependentBitmap;

/// @file
/// The GIF plain text graphic.

/// A grid of fixed-pitch text in a foreground and a background colour, as a
/// GIF plain text extension describes it.
///
/// The text's bytes are shown as code page 1250. Text needs fonts: where the
/// program has none (hasFonts() false, a console program) only the
/// background is drawn.
class TPlainText : public TZVQExtGraphic {
public:
    /// An empty grid, black on white, without text.
    TPlainText() = default;
    /// A copy of @p source, its text included.
    explicit TPlainText(const TPlainText* source);

    ///@{
    /// The grid's size in pixels.
    int GetWidth() const override { return gridWidth_; }
    int GetHeight() const override { return gridHeight_; }
    void SetGridSize(int width, int height);
    ///@}
    ///@{
    /// The size of one character cell in pixels; the cell's height is the
    /// font's.
    int GetCellWidth() const { return cellWidth_; }
    int GetCellHeight() const { return cellHeight_; }
    void SetCellSize(int width, int height);
    ///@}
    ///@{
    /// The colour of the glyphs.
    TColor GetForegroundColour() const { return foreground_; }
    void SetForegroundColour(TColor colour) { foreground_ = colour; }
    ///@}
    ///@{
    /// The colour behind them, left out when the text is transparent.
    TColor GetBackgroundColour() const { return background_; }
    void SetBackgroundColour(TColor colour) { background_ = colour; }
    ///@}

    /// The text up to its first zero byte; null when there is none.
    const char* GetText() const { return hasText_ ? text_.constData() : nullptr; }
    /// Keeps a copy of @p text up to its zero byte; null leaves no text.
    void SetText(const char* text);
    /// Leaves no text.
    void FreeText();

    /// Puts the text on the clipboard (Exception "Cannot open clipboard"
    /// without a GUI application).
    void CopyToClipboard() override;
    /// Drawn as it is into a rectangle of the grid's size, stretched into any
    /// other.
    void Draw(TCanvas* canvas, const QRect& rect) override;
    /// A new bitmap of width x height in `colour` with the text at `origin`,
    /// owned by the caller. A size of 0 raises the canvas's Exception
    /// "Canvas does not allow drawing".
    std::unique_ptr<TDeviceIndependentBitmap> AsDIB(TDIBFormat format, QPoint origin, int width,
                                                    int height, TColor colour);

protected:
    /// A copy (the TPlainText constructor).
    std::unique_ptr<TZVQExtGraphic> clone() const override;

private:
    QString displayText() const;

    int gridWidth_ = 0;
    int gridHeight_ = 0;
    int cellWidth_ = 0;
    int cellHeight_ = 0;
    TColor foreground_ = clBlack;
    TColor background_ = clWhite;
    QByteArray text_;
    bool hasText_ = false;
};
