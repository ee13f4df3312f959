#pragma once

#include <QTimer>

/// @file
/// The timer with an Enabled switch.

/// A timer whose Enabled switch behaves as the designer expects: enabling a
/// running timer does not restart its interval, disabling a stopped one is a
/// no-op, and a timer with an interval of 0 counts as enabled but never
/// fires (a bare QTimer would fire at every pass of the event loop).
class TTimer : public QTimer {
    Q_OBJECT
public:
    /// A disabled timer owned by @p parent, named @p name, firing every
    /// @p intervalMs milliseconds once enabled.
    TTimer(QObject* parent, const QString& name, int intervalMs) : QTimer(parent) {
        setObjectName(name);
        setInterval(intervalMs);
    }
    ///@{
    /// The timer runs while it is enabled (and its interval is not 0).
    bool Enabled() const { return enabled_; }
    void setEnabled(bool enabled) {
        enabled_ = enabled;
        if (enabled && !isActive() && interval() > 0) start();
        if (!enabled && isActive()) stop();
    }
    ///@}

private:
    bool enabled_ = false;
};
