#include "toolkit/component.h"

#include <gtest/gtest.h>
#include <QObject>
#include <QWidget>

namespace {

// Counts its destructions so that a double delete or a leak shows.
class CountedComponent : public TComponent {
public:
    CountedComponent(QObject* owner, int& destructions)
        : TComponent(owner), destructions_(destructions) {}
    ~CountedComponent() override { ++destructions_; }

private:
    int& destructions_;
};

TEST(Component, TheOwnerDestroysItsComponents) {
    int destructions = 0;
    auto owner = std::make_unique<QObject>();
    new CountedComponent(owner.get(), destructions);
    new CountedComponent(owner.get(), destructions);
    owner.reset();
    EXPECT_EQ(destructions, 2);
}

TEST(Component, AComponentDeletedFirstLeavesItsOwner) {
    int destructions = 0;
    QObject owner;
    const int childrenBefore = int(owner.children().size());
    auto* component = new CountedComponent(&owner, destructions);
    EXPECT_EQ(component->GetOwner(), &owner);
    delete component;
    EXPECT_EQ(destructions, 1);
    EXPECT_EQ(int(owner.children().size()), childrenBefore);
}

TEST(Component, AComponentWithoutOwnerBelongsToItsHolder) {
    int destructions = 0;
    auto component = std::make_unique<CountedComponent>(nullptr, destructions);
    EXPECT_EQ(component->GetOwner(), nullptr);
    EXPECT_FALSE(component->ownerIsForm());
    component.reset();
    EXPECT_EQ(destructions, 1);
}

TEST(Component, OnlyATopLevelWindowIsAForm) {
    QWidget window;
    QWidget* child = new QWidget(&window);
    QObject plain;
    EXPECT_TRUE(TComponent(&window).ownerIsForm());
    EXPECT_FALSE(TComponent(child).ownerIsForm());
    EXPECT_FALSE(TComponent(&plain).ownerIsForm());
}

}  // namespace
