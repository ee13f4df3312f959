#include "viewer_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QShortcut>
#include <QVBoxLayout>

#include "gif/Zvqanmtn.h"
#include "gif/gif_decoder.h"
#include "toolkit/streams.h"

ViewerWindow::ViewerWindow(QColor background) {
    setObjectName(QStringLiteral("ViewerWindow"));
    setWindowTitle(QStringLiteral("zvqgif-view"));
    QPalette colours = palette();
    colours.setColor(QPalette::Window, background);
    setPalette(colours);
    setAutoFillBackground(true);

    AnimatedImage1 = new TZVQ_AnimatedImage(this, QStringLiteral("AnimatedImage1"));
    AnimatedImage1->SetStretch(true);
    // Files other programs write: GIF 89a blocks under a GIF87a header read.
    AnimatedImage1->GetImages()->decoder()->setReadsExtensionsIn87a(true);
    StatusLine = new QLabel(this);
    StatusLine->setObjectName(QStringLiteral("StatusLine"));
    StatusLine->setTextFormat(Qt::PlainText);
    StatusLine->setContentsMargins(4, 2, 4, 2);
    // The window takes the animation's width, however long the status.
    StatusLine->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(AnimatedImage1, 1);
    layout->addWidget(StatusLine);
    resize(240, 160);  // until the file tells its size

    connect(AnimatedImage1, &TCustomZVQAnimatedImage::frameShown, this, &ViewerWindow::showStatus);
    auto* copy = new QShortcut(QKeySequence::Copy, this);
    connect(copy, &QShortcut::activated, this, [this] { AnimatedImage1->CopyToClipboard(); });
}

void ViewerWindow::open(const QString& fileName) {
    setWindowTitle(fileName + QStringLiteral(" - zvqgif-view"));
    try {
        fitToScreenOf(fileName);
        AnimatedImage1->GetImages()->LoadFromFile(fileName);
    } catch (const Exception& e) {
        StatusLine->setText(e.Message());
        return;
    }
    if (AnimatedImage1->GetImages()->GetCount() == 0) {
        StatusLine->setText(tr("No picture in %1").arg(fileName));
    } else {
        showStatus(AnimatedImage1->shownFrame());
    }
}

// The screen descriptor gives the size before any frame arrives.
void ViewerWindow::fitToScreenOf(const QString& fileName) {
    TFileStream file(fileName, TFileMode::OpenRead);
    TZVQ_GIFDecompressor decoder;
    decoder.setReadsExtensionsIn87a(true);
    decoder.OpenImageStream(&file);
    const QSize screen(decoder.GetScreenWidth(), decoder.GetScreenHeight());
    decoder.CloseImageStream();
    StatusLine->setText(tr("loading"));
    resize(screen.width(), screen.height() + StatusLine->sizeHint().height());
    AnimatedImage1->resize(screen);
}

void ViewerWindow::showStatus(int frame) {
    if (frame < 0) return;
    if (frame < lastShown_) ++round_;
    lastShown_ = frame;
    const TAnimatedImageList* images = AnimatedImage1->GetImages();
    const bool loading = images->GetState() == TAnimatedImageState::isLoading;
    QString text = tr("frame %1 of %2%3, %4 ms, %5")
                       .arg(frame + 1)
                       .arg(images->GetCount())
                       .arg(loading ? tr(" (loading)") : QString())
                       .arg(images->GetDelayTime(frame))
                       .arg(loopText());
    if (images->GetUserInput(frame)) {
        text += tr(", click for the next frame");
    }
    StatusLine->setText(text);
}

QString ViewerWindow::loopText() const {
    const int loops = AnimatedImage1->GetImages()->GetLoopCount();
    return loops > 0 ? tr("loop %1 of %2").arg(round_).arg(loops)
                     : tr("loop %1, endless").arg(round_);
}

// Closing during a load ends the load at its next progress report.
void ViewerWindow::closeEvent(QCloseEvent* event) {
    TAnimatedImageList* images = AnimatedImage1->GetImages();
    if (images->GetState() == TAnimatedImageState::isLoading) images->Abort();
    AnimatedImage1->Stop();
    QWidget::closeEvent(event);
}
