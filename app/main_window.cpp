#include "app/main_window.h"

#include <QCloseEvent>
#include <QFile>
#include <QPrintDialog>
#include <QPrinter>

#include "app/archive_window.h"
#include "app/read_archive.h"
#include "app/version.h"
#include "toolkit/application.h"
#include "toolkit/jpeg_image.h"

// The banners live in the static library's resources, which the linker
// keeps only when something names them.
static void initBannerResources() { Q_INIT_RESOURCE(banners); }

namespace {

QImage banner(const QString& resource) {
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return decodeJpeg(file.readAll());
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent) {
    initBannerResources();
    buildLayout();
    Image2->setPicture(banner(QStringLiteral(":/banners/splash.jpg")));
    Image4->setPicture(banner(QStringLiteral(":/banners/main.jpg")));
    connectHandlers();
    buildArchiveAction();
    FormCreate();
}

TForm1::~TForm1() { releaseLink(); }

void TForm1::connectHandlers() {
    connect(Timer1, &QTimer::timeout, this, guarded([this] { Timer1Timer(); }));
    connect(Timer3, &QTimer::timeout, this, guarded([this] { Timer3Timer(); }));
    connect(Timer5, &QTimer::timeout, this, guarded([this] { Timer5Timer(); }));
    connect(Timer6, &QTimer::timeout, this, guarded([this] { Timer6Timer(); }));
    connect(Button1, &QPushButton::clicked, this, guarded([this] { Button1Click(); }));
    connect(Button18, &QPushButton::clicked, this, guarded([this] { Button18Click(); }));
    connect(Image1, &TImage::clicked, this, guarded([this] { Image1Click(); }));
    connect(Image36, &TImage::clicked, this, guarded([this] { Image36Click(); }));
    // Checking a radio button, by the operator or by the program, runs its click handler.
    connect(RadioButton1, &QRadioButton::toggled, this, guarded([this] {
                if (RadioButton1->isChecked()) RadioButton1Click();
            }));
    connect(RadioButton2, &QRadioButton::toggled, this, guarded([this] {
                if (RadioButton2->isChecked()) RadioButton2Click();
            }));
}

void TForm1::FormCreate() {
    Label4->setCaption(Label4->Caption() + kVersion);
    Label66->setCaption(Label66->Caption() + kVersion);
    setBorderless(true);
    Timer1->setEnabled(false);
    Timer5->setEnabled(true);
    Timer6->setEnabled(true);
    Label10->setCaption(QString());
    StrIn->hide();
    Panel2->show();
    Panel7->hide();
    Panel4->hide();
    DrawChartGrid15();
    autoSize();
}

void TForm1::Timer6Timer() {
    Panel2->hide();
    Panel4->show();
    setBorderless(false);
    Timer6->setEnabled(false);
    Panel5->move(Panel5->x(), 100);
    autoSize();
}

void TForm1::closeEvent(QCloseEvent* event) {
    try {
        FormClose();
    } catch (...) {
        ShowException(std::current_exception());
    }
    // The archive window goes with the station's, so the program ends.
    if (archiveWindow_) archiveWindow_->close();
    event->accept();
}

void TForm1::setBorderless(bool borderless) {
    if (bool(windowFlags() & Qt::FramelessWindowHint) == borderless) return;
    const bool wasVisible = isVisible();
    setWindowFlag(Qt::FramelessWindowHint, borderless);
    if (wasVisible) show();
}

// The window fits its visible panels: they move up and left so that their
// joint extent starts at the client area's corner, and the client area
// takes that extent's size.
void TForm1::autoSize() {
    QRect extent;
    const auto children = findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        if (!child->isHidden() && !child->isWindow()) extent |= child->geometry();
    }
    if (extent.isEmpty()) return;
    for (QWidget* child : children) {
        if (!child->isHidden() && !child->isWindow()) child->move(child->pos() - extent.topLeft());
    }
    setFixedSize(extent.size());
    if (!(windowFlags() & Qt::FramelessWindowHint)) {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        resize(extent.size());
    }
}
