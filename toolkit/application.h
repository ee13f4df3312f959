#pragma once

#include <QApplication>
#include <exception>
#include <functional>

/// @file
/// The application object that keeps exceptions inside the event loop.

/// The application object: no exception raised inside an event handler
/// crosses the event loop. A toolkit exception is shown in the standard
/// exception box with its message, any other with an empty message, and the
/// program goes on.
class TApplication : public QApplication {
public:
    /// The application, with Qt's command-line arguments.
    TApplication(int& argc, char** argv);
    /// Delivers the event; an exception is shown (ShowException) and the
    /// event counts as not handled.
    bool notify(QObject* receiver, QEvent* event) override;
};

/// Shows the exception in flight in the standard exception box, a message
/// box captioned with the application's name; a full stop ends the text.
void ShowException(std::exception_ptr error);

/// Wraps a handler so that its exceptions end in the exception box instead
/// of unwinding through Qt's signal dispatch. The signal's arguments are not
/// passed on: the station's handlers take none.
template <typename Handler>
auto guarded(Handler handler) {
    return [handler](auto&&...) {
        try {
            handler();
        } catch (...) {
            ShowException(std::current_exception());
        }
    };
}
