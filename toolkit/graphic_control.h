#pragma once

#include <QImage>
#include <QRegion>
#include <QWidget>
#include <functional>

#include "toolkit/canvas.h"
#include "toolkit/persistent.h"

/// @file
/// Graphic controls: widgets with a canvas that may be drawn on at any time.

/// (Sender, button, modifier keys, x, y) in the control's coordinates.
using TMouseEvent = std::function<void(TObject* sender, Qt::MouseButton button,
                                       Qt::KeyboardModifiers shift, int x, int y)>;

/// A lightweight control drawn over its parent, as the designer's graphic
/// controls are: its canvas may be drawn on at any time, not only while it
/// paints, and what is drawn there shows at the next pass of the event loop.
/// When the control must paint (shown, resized, invalidated, or its parent
/// repainted the area under it), the canvas first receives what the parent
/// paints there — its background and its own drawing, not its other
/// children — and then Paint runs, clipped to ClipRect.
class TGraphicControl : public QWidget, public TObject {
    Q_OBJECT
public:
    /// A control owned by @p parent (Qt's ownership), with the object name @p name.
    TGraphicControl(QWidget* parent, const QString& name);
    /// Destroyed by its parent, or by whoever made it without one.
    ~TGraphicControl() override;

    /// The canvas over the control's pixels, owned by the control; it takes
    /// the control's size first (at least one pixel each way).
    TCanvas* Canvas();
    /// The part of the control being painted; the whole control outside Paint.
    QRect ClipRect() const { return painting_ ? clip_ : rect(); }
    /// Paint runs again at the next pass of the event loop.
    void Invalidate();

    /// A left-button press and release inside the control.
    TNotifyEvent OnClick;
    /// The second press of a double click (which is also a press).
    TNotifyEvent OnDblClick;
    ///@{
    /// A mouse button pressed, the mouse moved (button Qt::NoButton), or a
    /// button released, over the control.
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    ///@}

protected:
    /// Draws the control on its canvas; the parent's pixels are already there.
    virtual void Paint() {}
    ///@{
    /// Raise OnMouseDown, OnMouseMove and OnMouseUp; subclasses that
    /// override them call these to keep the events.
    virtual void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    virtual void MouseMove(Qt::KeyboardModifiers shift, int x, int y);
    virtual void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    ///@}

    ///@{
    /// Qt's events, turned into Paint, the mouse operations and the events.
    /// A paint event for the region drawn on the canvas only shows the canvas;
    /// anything else runs Paint first.
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    ///@}

private:
    void syncSurface();
    void paintParentBackground(const QRect& area);
    void runPaint(const QRect& area);
    void canvasChanged();

    QImage surface_;
    TCanvas canvas_;
    QRegion drawn_;  // drawn on the canvas since the last paint event
    QRect clip_;
    bool invalid_ = true;
    bool painting_ = false;
    bool pressed_ = false;
};
