#pragma once

#include <QPointer>

#include "toolkit/persistent.h"

class QObject;

/// @file
/// Components: objects that an owner destroys with itself.

/// An object that can belong to an owner: when the owner is destroyed first,
/// it destroys its components with it. Deleting an owned component earlier is
/// allowed; it then leaves its owner. A component made without an owner
/// belongs to whoever holds it.
class TComponent : public TPersistent {
public:
    /// A component that @p owner (when not null) destroys with itself.
    explicit TComponent(QObject* owner = nullptr);
    /// Leaves the owner, which then no longer destroys it.
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    /// The owner, borrowed; null without one or once the owner is gone.
    QObject* GetOwner() const { return owner_; }
    /// The owner is a top-level window.
    bool ownerIsForm() const;

private:
    class OwnerGuard;
    friend class OwnerGuard;

    QPointer<QObject> owner_;
    // A child of the owner whose destruction takes the component with it;
    // null once either side has gone.
    OwnerGuard* guard_ = nullptr;
};
