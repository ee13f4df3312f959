#include "toolkit/component.h"

#include <QObject>
#include <QWidget>

// Lives among the owner's children, so the owner's destructor reaches it
// like any other child.
class TComponent::OwnerGuard : public QObject {
public:
    OwnerGuard(QObject* owner, TComponent* component) : QObject(owner), component_(component) {}
    ~OwnerGuard() override {
        if (!component_) return;
        component_->guard_ = nullptr;
        delete component_;
    }
    void release() { component_ = nullptr; }

private:
    TComponent* component_;
};

TComponent::TComponent(QObject* owner) : owner_(owner) {
    if (owner) guard_ = new OwnerGuard(owner, this);
}

TComponent::~TComponent() {
    if (!guard_) return;
    guard_->release();
    delete guard_;
}

bool TComponent::ownerIsForm() const {
    const auto* widget = qobject_cast<const QWidget*>(owner_.data());
    return widget && widget->isWindow();
}
