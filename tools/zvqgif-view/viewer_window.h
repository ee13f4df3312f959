#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

class QLabel;
class TZVQ_AnimatedImage;

// A window that plays one animated GIF: the picture stretches with the
// window, a click answers a frame that waits for the user, Ctrl+C copies
// the frame on show, and a status line tells the frame, its delay and the
// loop.
class ViewerWindow : public QWidget {
    Q_OBJECT
public:
    explicit ViewerWindow(QColor background);

    // Sizes the window to the animation and plays it while it loads. A
    // file that cannot be read leaves its message in the status line.
    void open(const QString& fileName);

    TZVQ_AnimatedImage* AnimatedImage1;
    QLabel* StatusLine;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void fitToScreenOf(const QString& fileName);
    void showStatus(int frame);
    QString loopText() const;

    int lastShown_ = -1;
    int round_ = 1;
};
