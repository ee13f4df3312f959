#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

// Every test program runs inside a QApplication so that widgets, timers,
// fonts and printing behave as in the station; the offscreen platform keeps
// it independent of a display.
int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include <QDir>
#include "test_support.h"

QString testDataDir() {
#ifdef QUORVAN_TESTDATA_DIR
    const QString dir = QStringLiteral(QUORVAN_TESTDATA_DIR);
#else
    const QString dir;
#endif
    return !dir.isEmpty() && QDir(dir).exists() ? QDir(dir).absolutePath() : QString();
}
