#pragma once

#include <QImage>
#include <QWidget>

#include "toolkit/canvas.h"

/// @file
/// The picture control.

/// A picture control: shows its bitmap at the top-left corner, offers the
/// bitmap's canvas for drawing, and reports clicks.
class TImage : public QWidget {
    Q_OBJECT
public:
    /// A control owned by @p parent, named @p name, of the given size, its
    /// bitmap that size and white.
    TImage(QWidget* parent, const QString& name, int width, int height);

    ///@{
    /// The bitmap shown, owned by the control.
    QImage& Bitmap() { return bitmap_; }
    const QImage& Bitmap() const { return bitmap_; }
    ///@}
    /// The canvas over the bitmap; drawing there repaints the control.
    TCanvas& Canvas() { return canvas_; }
    /// Shows a copy of @p picture (in 32 bits per pixel) as the bitmap.
    void setPicture(const QImage& picture);

signals:
    /// A left-button press and release inside the control.
    void clicked();

protected:
    ///@{
    /// Qt's events: the bitmap painted, presses and releases made clicks.
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    ///@}

private:
    QImage bitmap_;
    TCanvas canvas_;
    bool pressed_ = false;
};
