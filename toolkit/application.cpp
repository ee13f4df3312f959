#include "toolkit/application.h"

#include "toolkit/exception.h"
#include "toolkit/message_box.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowException(std::current_exception());
        return false;
    }
}

void ShowException(std::exception_ptr error) {
    QString message;
    try {
        std::rethrow_exception(error);
    } catch (const Exception& e) {
        message = e.Message();
    } catch (...) {
        // Anything that is not a toolkit exception is shown as one with an
        // empty message.
    }
    const QString title = QApplication::applicationName();
    MessageBox(message.endsWith('.') || message.isEmpty() ? message : message + '.', title);
}
