#include "toolkit/graphic_control.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

TGraphicControl::TGraphicControl(QWidget* parent, const QString& name)
    : QWidget(parent), canvas_(&surface_) {
    setObjectName(name);
    canvas_.OnChange = [this] { canvasChanged(); };
}

TGraphicControl::~TGraphicControl() {
    canvas_.OnChange = nullptr;
}

TCanvas* TGraphicControl::Canvas() {
    syncSurface();
    return &canvas_;
}

// A hidden control learns its size before it gets a resize event. An empty
// control keeps one pixel to draw on, so that drawing never fails.
void TGraphicControl::syncSurface() {
    const QSize wanted(std::max(width(), 1), std::max(height(), 1));
    if (surface_.size() == wanted) return;
    surface_ = QImage(wanted, QImage::Format_RGB32);
    surface_.fill(palette().window().color());
    invalid_ = true;
}

void TGraphicControl::Invalidate() {
    invalid_ = true;
    update();
}

void TGraphicControl::canvasChanged() {
    if (painting_) return;
    drawn_ = QRegion(rect());
    update();
}

void TGraphicControl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    syncSurface();
    Invalidate();
}

// A paint event for the region drawn on the canvas only shows the canvas;
// anything else (an exposure, the parent repainting under the control, an
// invalidation) runs Paint first.
void TGraphicControl::paintEvent(QPaintEvent* event) {
    syncSurface();
    const bool mustPaint = invalid_ || !(event->region() - drawn_).isEmpty();
    drawn_ = QRegion();
    if (mustPaint) {
        invalid_ = false;
        runPaint(event->region().boundingRect());
    }
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (const QRect& part : event->region()) painter.drawImage(part, surface_, part);
}

void TGraphicControl::runPaint(const QRect& area) {
    paintParentBackground(area);
    struct Painting {
        TGraphicControl* control;
        ~Painting() { control->painting_ = false; }
    } painting{this};
    painting_ = true;
    clip_ = area;
    Paint();
}

void TGraphicControl::paintParentBackground(const QRect& area) {
    QWidget* parent = parentWidget();
    if (!parent) {
        QPainter(&surface_).fillRect(area, palette().window());
        return;
    }
    parent->render(&surface_, area.topLeft(), QRegion(area.translated(pos())),
                   QWidget::DrawWindowBackground);
}

// --- Mouse -----------------------------------------------------------------------

void TGraphicControl::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TGraphicControl::MouseMove(Qt::KeyboardModifiers shift, int x, int y) {
    if (OnMouseMove) OnMouseMove(this, Qt::NoButton, shift, x, y);
}

void TGraphicControl::MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TGraphicControl::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    const QPoint at = event->position().toPoint();
    MouseDown(event->button(), event->modifiers(), at.x(), at.y());
}

// The second press of a double click is a press too.
void TGraphicControl::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
    if (OnDblClick) OnDblClick(this);
}

void TGraphicControl::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    MouseMove(event->modifiers(), at.x(), at.y());
}

void TGraphicControl::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(at);
    pressed_ = false;
    MouseUp(event->button(), event->modifiers(), at.x(), at.y());
    if (click && OnClick) OnClick(this);
}
