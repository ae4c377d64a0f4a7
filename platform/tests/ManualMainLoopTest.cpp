#include <gtest/gtest.h>

#include <memory>
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

TEST(ManualMainLoop, EqualDelaysFireInTheOrderTheTimersWereArmed) {
    platform::ManualMainLoop loop;
    std::string fired;
    // A repeating timer re-armed at 10 for 20 counts as armed after "b",
    // which was made at 0 for 20.
    loop.addTimer(10ms, true, [&] { fired += "r"; });
    loop.addTimer(20ms, false, [&] { fired += "b"; });
    loop.addTimer(20ms, false, [&] { fired += "c"; });
    loop.addTimer(5ms, false, [&] { fired += "a"; });
    loop.advance(20ms);
    EXPECT_EQ(fired, "arbcr");
}

TEST(ManualMainLoop, ContextualWorkRunsOnlyWhileItsOwnerLivesAndKeepsItMeanwhile) {
    platform::ManualMainLoop loop;
    auto owner = std::make_shared<std::string>("panel");
    std::weak_ptr<std::string> watch = owner;
    std::string ran;
    loop.post(owner, [&] {
        owner.reset();  // the last outside owner lets go while the task runs
        ran += watch.expired() ? "gone" : *watch.lock();
    });
    loop.post(watch, [&] { ran += "+late"; });  // owner gone by its turn
    loop.post(std::weak_ptr<int>(), [&] { ran += "+never"; });
    EXPECT_EQ(loop.runPending(), 3);
    EXPECT_EQ(ran, "panel");
    EXPECT_TRUE(watch.expired());

    // A context of one's own making, from a worker thread.
    bool alive = false;
    std::thread([&] {
        loop.post(platform::MainLoop::Context([&]() -> std::shared_ptr<const void> {
                      return alive ? std::make_shared<int>(0) : nullptr;
                  }),
                  [&] { ran += "+custom"; });
    }).join();
    loop.runPending();
    EXPECT_EQ(ran, "panel");
}

TEST(ManualMainLoop, AHoldKeepsPostedWorkAndTimersUntilItEnds) {
    platform::ManualMainLoop loop;
    std::string ran;
    loop.addTimer(10ms, false, [&] { ran += "t"; });
    loop.addTimer(30ms, false, [&] { ran += "u"; });
    {
        auto hold = loop.hold();
        EXPECT_TRUE(loop.isHeld());
        {
            platform::MainLoop::Hold inner(loop);  // holds nest
        }
        EXPECT_TRUE(loop.isHeld());
        loop.post([&] { ran += "p"; });
        EXPECT_EQ(loop.runPending(), 0);
        loop.advance(50ms);  // a capture's wait: time moves, nothing fires
        EXPECT_EQ(loop.now(), 50ms);
        EXPECT_EQ(ran, "");
        auto moved = std::move(hold);
        EXPECT_FALSE(hold.isActive());
        EXPECT_TRUE(moved.isActive());
    }
    EXPECT_FALSE(loop.isHeld());
    // Timers first, in their order, each followed by the posted work.
    loop.advance(0ms);
    EXPECT_EQ(ran, "tpu");
    EXPECT_EQ(loop.now(), 50ms);  // late timers do not turn the clock back
}

TEST(ManualMainLoop, ATimerThatHoldsTheLoopKeepsTheOthersWaiting) {
    platform::ManualMainLoop loop;
    std::string ran;
    loop.addTimer(10ms, false, [&] {
        auto hold = loop.hold();
        loop.post([&] { ran += "p"; });
        loop.advance(20ms);  // a nested wait: the 15 ms timer must not run inside
        ran += "t";
    });
    loop.addTimer(15ms, false, [&] { ran += "u"; });
    loop.advance(10ms);
    EXPECT_EQ(ran, "tp");
    EXPECT_EQ(loop.now(), 30ms);
    loop.advance(0ms);
    EXPECT_EQ(ran, "tpu");
}

}  // namespace
