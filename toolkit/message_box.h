#pragma once

#include <QString>
#include <functional>

/// @file
/// The plain message box, and the handler that can stand in for it.

/// A plain message box with one OK button and no owner window. It runs its
/// own event loop, so timers keep ticking while it is open. Tests install a
/// handler in its place. The text is shown as plain text, never as markup.
void MessageBox(const QString& text, const QString& caption);

/// What MessageBox calls instead of showing a box.
using MessageBoxHandler = std::function<void(const QString& text, const QString& caption)>;
/// Returns the handler that was in place; an empty handler restores the real box.
MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler);
