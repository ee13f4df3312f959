#pragma once

#include <QImage>
#include <QWidget>

#include "toolkit/canvas.h"

// A picture control: shows its bitmap at the top-left corner, offers the
// bitmap's canvas for drawing, and reports clicks.
class TImage : public QWidget {
    Q_OBJECT
public:
    TImage(QWidget* parent, const QString& name, int width, int height);

    QImage& Bitmap() { return bitmap_; }
    const QImage& Bitmap() const { return bitmap_; }
    TCanvas& Canvas() { return canvas_; }
    void setPicture(const QImage& picture);

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage bitmap_;
    TCanvas canvas_;
    bool pressed_ = false;
};
