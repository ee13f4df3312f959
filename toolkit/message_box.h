#pragma once

#include <QString>
#include <functional>

// A plain message box with one OK button and no owner window. It runs its
// own event loop, so timers keep ticking while it is open. Tests install a
// handler in its place.
void MessageBox(const QString& text, const QString& caption);

using MessageBoxHandler = std::function<void(const QString& text, const QString& caption)>;
// Returns the handler that was in place; an empty handler restores the real box.
MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler);
