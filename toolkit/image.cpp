#include "toolkit/image.h"

#include <QMouseEvent>
#include <QPainter>

TImage::TImage(QWidget* parent, const QString& name, int width, int height)
    : QWidget(parent), bitmap_(width, height, QImage::Format_RGB32), canvas_(&bitmap_) {
    setObjectName(name);
    resize(width, height);
    bitmap_.fill(Qt::white);
    canvas_.OnChange = [this] { update(); };
}

void TImage::setPicture(const QImage& picture) {
    canvas_.setDevice(nullptr);
    bitmap_ = picture.convertToFormat(QImage::Format_RGB32);
    canvas_.setDevice(&bitmap_);
    update();
}

void TImage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, bitmap_);
}

void TImage::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
}

void TImage::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click) emit clicked();
}
