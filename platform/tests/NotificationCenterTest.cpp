#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/NotificationCenter.h"

namespace {

using platform::Notification;
using platform::NotificationCenter;
using platform::ObserverToken;

TEST(NotificationCenter, DeliversByNameInOrderWithUserInfo) {
    NotificationCenter center;
    std::vector<std::string> seen;
    auto first = center.addObserver("changed", [&](const Notification& n) {
        const auto* value = n.value<int>("count");
        seen.push_back("first:" + std::to_string(value ? *value : -1));
    });
    auto all = center.addObserver("", [&](const Notification& n) { seen.push_back("all:" + n.name); });
    auto second = center.addObserver("changed", [&](const Notification& n) {
        // A value of another type reads as absent.
        seen.push_back(n.value<std::string>("count") ? "second:string" : "second:none");
    });
    center.post("changed", {{"count", 3}});
    center.post("other");
    EXPECT_EQ(seen, (std::vector<std::string>{"first:3", "all:changed", "second:none", "all:other"}));
}

TEST(NotificationCenter, TokensRemoveTheirObserver) {
    NotificationCenter center;
    int calls = 0;
    {
        auto token = center.addObserver("n", [&](const Notification&) { ++calls; });
        auto moved = std::move(token);
        EXPECT_FALSE(token);
        center.post("n");
        EXPECT_EQ(center.observerCount(), 1u);
    }
    EXPECT_EQ(center.observerCount(), 0u);
    center.post("n");
    EXPECT_EQ(calls, 1);
}

TEST(NotificationCenter, ObserversMayChangeTheListWhileAPostRuns) {
    NotificationCenter center;
    std::string seen;
    ObserverToken second;
    ObserverToken late;
    auto self = std::make_shared<ObserverToken>();
    *self = center.addObserver("n", [&, self](const Notification&) {
        seen += "1";
        self->reset();  // removes itself while running
        second.reset();  // and a later one, which is then skipped
        late = center.addObserver("n", [&](const Notification&) { seen += "L"; });
    });
    second = center.addObserver("n", [&](const Notification&) { seen += "2"; });
    center.post("n");
    EXPECT_EQ(seen, "1");  // the observer added during the post waits for the next
    center.post("n");
    EXPECT_EQ(seen, "1L");
}

}  // namespace
