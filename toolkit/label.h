#pragma once

#include <QLabel>

/// @file
/// The label that fits its caption.

/// A label that fits its size to its caption, as the designer's labels do.
/// A caption is shown as it stands, never read as markup: labels show bytes
/// that come from devices and files.
class TLabel : public QLabel {
    Q_OBJECT
public:
    /// A label owned by @p parent, named @p name, showing @p caption.
    TLabel(QWidget* parent, const QString& name, const QString& caption) : QLabel(parent) {
        setObjectName(name);
        setTextFormat(Qt::PlainText);
        setCaption(caption);
    }
    ///@{
    /// The text shown; setting it fits the label's size to it.
    QString Caption() const { return text(); }
    void setCaption(const QString& caption) {
        setText(caption);
        adjustSize();
    }
    ///@}
};
