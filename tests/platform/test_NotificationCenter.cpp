// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/NotificationCenter.h"

#include <QObject>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using platform::Notification;
using platform::NotificationCenter;

namespace {

struct Log {
    std::vector<std::string> entries;
    NotificationCenter::Handler record(const std::string& who)
    {
        return [this, who](const Notification& n) { entries.push_back(who + ":" + n.name().toStdString()); };
    }
};

} // namespace

TEST(NotificationCenter, DeliversSynchronouslyToObserversOfTheNameInRegistrationOrder)
{
    NotificationCenter center;
    Log log;
    int a, b, c;
    center.addObserver(&a, "Shift Down", log.record("a"));
    center.addObserver(&b, "Shift Up", log.record("b"));
    center.addObserver(&c, "Shift Down", log.record("c"));
    center.addObserver(&b, "", log.record("b-any"));

    center.postNotification("Shift Down");
    EXPECT_EQ(log.entries, (std::vector<std::string>{"a:Shift Down", "c:Shift Down", "b-any:Shift Down"}));

    log.entries.clear();
    center.postNotification("Toggle TabBar");
    EXPECT_EQ(log.entries, (std::vector<std::string>{"b-any:Toggle TabBar"}));
}

TEST(NotificationCenter, CarriesItsObjectOfAnyType)
{
    NotificationCenter center;
    std::optional<long long> tab;
    std::shared_ptr<std::string> carried;
    bool hadObject = true;
    int observer;
    center.addObserver(&observer, "Goto TabBar", [&](const Notification& n) { tab = n.integerObject(); });
    center.addObserver(&observer, "Discovered Computer", [&](const Notification& n) {
        if (auto p = n.objectAs<std::shared_ptr<std::string>>())
            carried = *p;
    });
    center.addObserver(&observer, "Settings", [&](const Notification& n) { hadObject = n.object().has_value(); });

    center.postNotification("Goto TabBar", 3);
    EXPECT_EQ(tab, 3);
    center.postNotification("Goto TabBar", 1L);
    EXPECT_EQ(tab, 1);
    center.postNotification("Goto TabBar", std::string("two"));
    EXPECT_EQ(tab, std::nullopt);

    auto computer = std::make_shared<std::string>("desk");
    center.postNotification("Discovered Computer", computer);
    EXPECT_EQ(carried, computer);

    center.postNotification("Settings");
    EXPECT_FALSE(hadObject);
}

TEST(NotificationCenter, RemovesByTokenByObserverAndByName)
{
    NotificationCenter center;
    Log log;
    int a, b;
    const auto token = center.addObserver(&a, "X", log.record("a1"));
    center.addObserver(&a, "X", log.record("a2"));
    center.addObserver(&a, "Y", log.record("a3"));
    center.addObserver(&b, "X", log.record("b"));

    center.removeObserver(token);
    center.postNotification("X");
    EXPECT_EQ(log.entries, (std::vector<std::string>{"a2:X", "b:X"}));

    log.entries.clear();
    center.removeObserver(&a, "X");
    center.postNotification("X");
    center.postNotification("Y");
    EXPECT_EQ(log.entries, (std::vector<std::string>{"b:X", "a3:Y"}));

    log.entries.clear();
    center.removeObserver(&a);
    center.postNotification("Y");
    EXPECT_TRUE(log.entries.empty());
    EXPECT_EQ(center.observerCount(), 1u);
}

TEST(NotificationCenter, ObserversRemovedDuringDeliveryAreNotCalledAndAddedOnesWaitForTheNextPost)
{
    NotificationCenter center;
    Log log;
    int first, second, third, late;
    center.addObserver(&first, "X", [&](const Notification& n) {
        log.record("first")(n);
        center.removeObserver(&first); // itself
        center.removeObserver(&second); // one still to come in this delivery
        center.addObserver(&late, "X", log.record("late"));
    });
    center.addObserver(&second, "X", log.record("second"));
    center.addObserver(&third, "X", log.record("third"));

    center.postNotification("X");
    EXPECT_EQ(log.entries, (std::vector<std::string>{"first:X", "third:X"}));

    log.entries.clear();
    center.postNotification("X");
    EXPECT_EQ(log.entries, (std::vector<std::string>{"third:X", "late:X"}));
}

TEST(NotificationCenter, APostFromInsideADeliveryIsDeliveredBeforeTheOuterOneGoesOn)
{
    NotificationCenter center;
    Log log;
    int a, b;
    center.addObserver(&a, "Outer", [&](const Notification& n) {
        log.record("a")(n);
        center.postNotification("Inner");
    });
    center.addObserver(&b, "Inner", log.record("b"));
    center.addObserver(&b, "Outer", log.record("b"));

    center.postNotification("Outer");
    EXPECT_EQ(log.entries, (std::vector<std::string>{"a:Outer", "b:Inner", "b:Outer"}));
}

TEST(NotificationCenter, TheDefaultCentreIsOneSharedCentre)
{
    EXPECT_EQ(&NotificationCenter::defaultCenter(), &NotificationCenter::defaultCenter());
}

TEST(NotificationCenter, AQObjectObserverIsForgottenWhenItIsDestroyed)
{
    NotificationCenter center;
    int calls = 0;
    auto button = std::make_unique<QObject>();
    center.addObserver(button.get(), "Shift Down", [&](const Notification&) { ++calls; });
    center.addObserver(button.get(), "Shift Up", [&](const Notification&) { ++calls; });
    center.postNotification("Shift Down");
    EXPECT_EQ(calls, 1);

    button.reset();
    EXPECT_EQ(center.observerCount(), 0u);
    center.postNotification("Shift Down");
    center.postNotification("Shift Up");
    EXPECT_EQ(calls, 1);
}
