#pragma once

#include <QPointer>

#include "toolkit/persistent.h"

class QObject;

// An object that can belong to an owner: when the owner is destroyed first,
// it destroys its components with it. Deleting an owned component earlier is
// allowed; it then leaves its owner. A component made without an owner
// belongs to whoever holds it.
class TComponent : public TPersistent {
public:
    explicit TComponent(QObject* owner = nullptr);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    QObject* GetOwner() const { return owner_; }
    // The owner is a top-level window.
    bool ownerIsForm() const;

private:
    class OwnerGuard;
    friend class OwnerGuard;

    QPointer<QObject> owner_;
    // A child of the owner whose destruction takes the component with it;
    // null once either side has gone.
    OwnerGuard* guard_ = nullptr;
};
