#pragma once

#include <QLabel>

// A label that fits its size to its caption, as the designer's labels do.
// A caption is shown as it stands, never read as markup: labels show bytes
// that come from devices and files.
class TLabel : public QLabel {
    Q_OBJECT
public:
    TLabel(QWidget* parent, const QString& name, const QString& caption) : QLabel(parent) {
        setObjectName(name);
        setTextFormat(Qt::PlainText);
        setCaption(caption);
    }
    QString Caption() const { return text(); }
    void setCaption(const QString& caption) {
        setText(caption);
        adjustSize();
    }
};
