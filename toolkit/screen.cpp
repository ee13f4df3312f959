#include "toolkit/screen.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace {

bool isGuiApplication() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr; }

ScreenCapabilities fallbackScreen() {
    // 1920 x 1080 pixels at 96 dots per inch.
    return ScreenCapabilities{1920, 1080, 508, 286, 32, false};
}

}  // namespace

int ScreenCapabilities::colourCount() const { return colourDepth > 8 ? -1 : 1 << colourDepth; }

ScreenCapabilities screenCapabilities() {
    if (!isGuiApplication()) return fallbackScreen();
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return fallbackScreen();
    ScreenCapabilities caps;
    const QSize size = screen->size();
    const QSizeF physical = screen->physicalSize();
    caps.widthPixels = size.width();
    caps.heightPixels = size.height();
    caps.widthMm = int(std::lround(physical.width()));
    caps.heightMm = int(std::lround(physical.height()));
    caps.colourDepth = screen->depth();
    caps.paletteDevice = caps.colourDepth > 0 && caps.colourDepth <= 8;
    return caps;
}

bool hasFonts() { return isGuiApplication(); }
