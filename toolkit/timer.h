#pragma once

#include <QTimer>

// A timer whose Enabled switch behaves as the designer expects: enabling a
// running timer does not restart its interval, disabling a stopped one is a
// no-op, and a timer with an interval of 0 counts as enabled but never
// fires (a bare QTimer would fire at every pass of the event loop).
class TTimer : public QTimer {
    Q_OBJECT
public:
    TTimer(QObject* parent, const QString& name, int intervalMs) : QTimer(parent) {
        setObjectName(name);
        setInterval(intervalMs);
    }
    bool Enabled() const { return enabled_; }
    void setEnabled(bool enabled) {
        enabled_ = enabled;
        if (enabled && !isActive() && interval() > 0) start();
        if (!enabled && isActive()) stop();
    }

private:
    bool enabled_ = false;
};
