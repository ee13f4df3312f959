#pragma once

#include <QCoreApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <memory>

#include "gif/Zvqanmtn.h"
#include "imaging/Zvqgraph.h"
#include "toolkit/bitmap.h"
#include "toolkit/timer.h"

// A frame of one colour, or with one colour on a transparent field.
inline std::unique_ptr<TDeviceIndependentBitmap> solidFrame(QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    TBitmap bitmap;
    bitmap.SetImage(image);
    return std::make_unique<TDeviceIndependentBitmap>(&bitmap, TDIBFormat::dt24bit);
}

inline std::unique_ptr<TDeviceIndependentBitmap> pictureFrame(const QImage& image,
                                                              QColor transparent = QColor()) {
    TBitmap bitmap;
    bitmap.SetImage(image.convertToFormat(QImage::Format_RGB32));
    auto dib = std::make_unique<TDeviceIndependentBitmap>(&bitmap, TDIBFormat::dt24bit);
    if (transparent.isValid()) {
        dib->SetTransparent(true);
        dib->SetTransparentColour(fromQColor(transparent));
    }
    return dib;
}

// A window of a known colour with the control in it, at (0, 0) unless moved.
struct AnimationWindow {
    static inline const QColor kParentColour = QColor(0x12, 0x9a, 0x56);

    QWidget window;
    TZVQ_AnimatedImage* control;

    explicit AnimationWindow(QSize windowSize = QSize(100, 100)) {
        QPalette palette = window.palette();
        palette.setColor(QPalette::Window, kParentColour);
        window.setPalette(palette);
        window.setAutoFillBackground(true);
        window.resize(windowSize);
        control = new TZVQ_AnimatedImage(&window, QStringLiteral("AnimatedImage1"));
    }

    void show() {
        window.show();
        (void)QTest::qWaitForWindowExposed(&window);
        settle();
    }

    // Runs what is queued (paints above all) without waiting for timers.
    static void settle() {
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    }

    // What the window shows, read back from the platform's window surface
    // (a grab through QWidget::render would paint the control anew).
    QImage screen() {
        settle();
        return window.windowHandle()
            ->screen()
            ->grabWindow(window.winId())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }

    // One tick by hand; the timer it starts again is stopped, so that only
    // the test moves the animation on.
    void tick() {
        control->HandleTimeout();
        control->timer()->stop();
    }
};

inline QColor pixelAt(const QImage& image, int x, int y) {
    return image.pixelColor(x, y);
}
