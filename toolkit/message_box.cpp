#include "toolkit/message_box.h"

#include <QMessageBox>

namespace {
MessageBoxHandler& handler() {
    static MessageBoxHandler current;
    return current;
}
}  // namespace

void MessageBox(const QString& text, const QString& caption) {
    if (handler()) {
        handler()(text, caption);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);  // exception messages may quote what a file held
    box.exec();
}

MessageBoxHandler setMessageBoxHandler(MessageBoxHandler newHandler) {
    MessageBoxHandler previous = std::move(handler());
    handler() = std::move(newHandler);
    return previous;
}
