#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/fake/ManualMainLoop.h"

namespace {

using namespace std::chrono_literals;

TEST(ManualMainLoop, RunsPostedWorkInOrderIncludingWorkPostedMeanwhile) {
    platform::ManualMainLoop loop;
    std::string order;
    loop.post([&] {
        order += "a";
        loop.post([&] { order += "c"; });
    });
    std::thread([&] { loop.post([&] { order += "b"; }); }).join();
    EXPECT_EQ(loop.runPending(), 3);
    EXPECT_EQ(order, "abc");
}

TEST(ManualMainLoop, TimersFireInTimeOrderAndMayCancelThemselves) {
    platform::ManualMainLoop loop;
    std::string fired;
    platform::MainLoop::Id repeating = 0;
    repeating = loop.addTimer(10ms, true, [&] {
        fired += "r";
        if (fired.size() >= 3)
            loop.cancel(repeating);
    });
    loop.addTimer(15ms, false, [&] { fired += "o"; });
    loop.advance(9ms);
    EXPECT_EQ(fired, "");
    loop.advance(100ms);
    EXPECT_EQ(fired, "ror");  // 10 r, 15 o, 20 r (then cancelled)
    EXPECT_EQ(loop.timerCount(), 0u);
}

TEST(ManualMainLoop, WatchesCallUntilCancelled) {
    platform::ManualMainLoop loop;
    int reads = 0;
    const auto id = loop.watchReadable(7, [&] { ++reads; });
    EXPECT_TRUE(loop.signalReadable(7));
    EXPECT_FALSE(loop.signalReadable(8));
    loop.cancel(id);
    loop.cancel(id);  // twice is harmless
    EXPECT_FALSE(loop.signalReadable(7));
    EXPECT_EQ(reads, 1);
}

}  // namespace
