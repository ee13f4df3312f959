#pragma once

#include <QByteArray>
#include <QPoint>
#include <memory>

#include "imaging/dib_format.h"
#include "imaging/ext_graphic.h"

class TDeviceIndependentBitmap;

// A grid of fixed-pitch text in a foreground and a background colour, as a
// GIF plain text extension describes it.
class TPlainText : public TZVQExtGraphic {
public:
    TPlainText() = default;
    explicit TPlainText(const TPlainText* source);

    int GetWidth() const override { return gridWidth_; }
    int GetHeight() const override { return gridHeight_; }
    void SetGridSize(int width, int height);
    int GetCellWidth() const { return cellWidth_; }
    int GetCellHeight() const { return cellHeight_; }
    void SetCellSize(int width, int height);
    TColor GetForegroundColour() const { return foreground_; }
    void SetForegroundColour(TColor colour) { foreground_ = colour; }
    TColor GetBackgroundColour() const { return background_; }
    void SetBackgroundColour(TColor colour) { background_ = colour; }

    // The text up to its first zero byte; null when there is none.
    const char* GetText() const { return hasText_ ? text_.constData() : nullptr; }
    void SetText(const char* text);
    void FreeText();

    void CopyToClipboard() override;
    // Drawn as it is into a rectangle of the grid's size, stretched into any
    // other.
    void Draw(TCanvas* canvas, const QRect& rect) override;
    // A new bitmap of width x height in `colour` with the text at `origin`.
    std::unique_ptr<TDeviceIndependentBitmap> AsDIB(TDIBFormat format, QPoint origin, int width,
                                                    int height, TColor colour);

protected:
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
