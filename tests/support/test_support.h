#pragma once

#include <QLabel>
#include <QString>
#include <functional>
#include <gtest/gtest.h>

#include "toolkit/exception.h"

// Checks that `action` throws exactly `E` (or a subclass) with `message`.
template <typename E>
void expectThrowWithMessage(const std::function<void()>& action, const QString& message) {
    try {
        action();
        ADD_FAILURE() << "expected an exception with message: " << message.toStdString();
    } catch (const E& e) {
        EXPECT_EQ(e.Message(), message);
    } catch (const std::exception& e) {
        ADD_FAILURE() << "unexpected exception type, message: " << e.what();
    }
}

// The folder of the read-only conformance data, or empty when it is absent.
QString testDataDir();

// True when the label shows every character of its text as it stands: a
// label that took markup as formatting is narrower than its literal text.
inline bool showsTextLiterally(const QLabel& label) {
    return label.sizeHint().width() >= label.fontMetrics().horizontalAdvance(label.text());
}
