#pragma once

#include <QTimer>

// A timer whose Enabled switch behaves as the designer expects: enabling a
// running timer does not restart its interval, disabling a stopped one is a
// no-op.
class TTimer : public QTimer {
    Q_OBJECT
public:
    TTimer(QObject* parent, const QString& name, int intervalMs) : QTimer(parent) {
        setObjectName(name);
        setInterval(intervalMs);
    }
    bool Enabled() const { return isActive(); }
    void setEnabled(bool enabled) {
        if (enabled && !isActive()) start();
        if (!enabled && isActive()) stop();
    }
};
