#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/qt/QObjectContext.h"
#include "platform/qt/QtMainLoop.h"
#include "testsupport/QtEvents.h"

namespace {

using namespace std::chrono_literals;

class QtMainLoopTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "qt_main_loop_tests";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
    }

    static bool runUntil(const std::function<bool()>& done) { return testsupport::runEventsUntil(done); }

    platform::QtMainLoop loop;
};

TEST_F(QtMainLoopTest, PostedWorkRunsInOrderOnTheMainThreadAndSurvivesExceptions) {
    std::string order;
    const auto mainThread = std::this_thread::get_id();
    bool onMain = true;
    loop.post([&] { order += "a"; });
    loop.post([] { throw std::runtime_error("a failing task"); });
    std::thread([&] {
        loop.post([&] {
            onMain = std::this_thread::get_id() == mainThread;
            order += "b";
        });
    }).join();
    EXPECT_TRUE(runUntil([&] { return order.size() == 2; }));
    EXPECT_EQ(order, "ab");
    EXPECT_TRUE(onMain);
}

TEST_F(QtMainLoopTest, WatchesReadableDescriptorsUntilCancelled) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    int reads = 0;
    platform::MainLoop::Id id = 0;
    id = loop.watchReadable(fds[0], [&] {
        char byte;
        ASSERT_EQ(read(fds[0], &byte, 1), 1);
        if (++reads == 2)
            loop.cancel(id);  // from inside its own callback
    });
    ASSERT_EQ(write(fds[1], "xy", 2), 2);
    EXPECT_TRUE(runUntil([&] { return reads == 2; }));
    ASSERT_EQ(write(fds[1], "z", 1), 1);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(reads, 2);
    close(fds[0]);
    close(fds[1]);
}

TEST_F(QtMainLoopTest, TimersFireOnceOrRepeatUntilCancelled) {
    int once = 0, repeating = 0;
    loop.addTimer(1ms, false, [&] { ++once; });
    platform::MainLoop::Id id = 0;
    id = loop.addTimer(1ms, true, [&] {
        if (++repeating == 3)
            loop.cancel(id);
    });
    const auto cancelled = loop.addTimer(1ms, false, [] { ADD_FAILURE() << "cancelled timer fired"; });
    loop.cancel(cancelled);
    EXPECT_TRUE(runUntil([&] { return once == 1 && repeating == 3; }));
    QCoreApplication::processEvents(QEventLoop::AllEvents, 30);
    EXPECT_EQ(once, 1);
    EXPECT_EQ(repeating, 3);
}

TEST_F(QtMainLoopTest, EqualDelaysFireInTheOrderTheTimersWereMadeAndNeverEarly) {
    std::vector<int> order;
    const auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration firstAfter{};
    for (int i = 0; i < 20; ++i)
        loop.addTimer(15ms, false, [&, i] {
            if (i == 0)
                firstAfter = std::chrono::steady_clock::now() - start;
            order.push_back(i);
        });
    loop.addTimer(0ms, false, [&] { order.push_back(-1); });  // due first
    EXPECT_TRUE(runUntil([&] { return order.size() == 21; }));
    std::vector<int> expected{-1};
    for (int i = 0; i < 20; ++i)
        expected.push_back(i);
    EXPECT_EQ(order, expected);
    // Never early: the first 15 ms timer came at least 15 ms after it was made.
    EXPECT_GE(firstAfter, 15ms);
}

TEST_F(QtMainLoopTest, ContextualWorkIsDroppedWhenItsQObjectOrOwnerIsGone) {
    auto* receiver = new QObject;
    auto owner = std::make_shared<int>(1);
    const platform::QObjectContext context(receiver);  // made on the main thread
    std::string ran;
    std::thread([&, context, weak = std::weak_ptr<int>(owner)] {
        loop.post(context, [&] { ran += "q"; });
        loop.post(weak, [&] { ran += "w"; });
    }).join();
    auto* survivor = new QObject;
    loop.post(platform::QObjectContext(survivor), [&] { ran += "s"; });
    delete receiver;
    owner.reset();
    loop.post([&] { ran += "."; });
    EXPECT_TRUE(runUntil([&] { return !ran.empty() && ran.back() == '.'; }));
    EXPECT_EQ(ran, "s.");
    delete survivor;
}

// What a selection capture does: a nested event loop that lets everything
// but user input through, for a fixed time, while the main loop is held.
TEST_F(QtMainLoopTest, AHeldLoopKeepsPostedWorkAndTimersOutOfANestedWaitButServesWatches) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::string ran;
    int reads = 0;
    const auto watch = loop.watchReadable(fds[0], [&] {
        char byte;
        ASSERT_EQ(read(fds[0], &byte, 1), 1);
        ++reads;
    });
    bool waited = false;
    loop.post([&] {
        auto hold = loop.hold();
        loop.post([&] { ran += "p"; });
        std::thread([&] { loop.post([&] { ran += "w"; }); }).join();
        loop.addTimer(0ms, false, [&] { ran += "t"; });
        ASSERT_EQ(write(fds[1], "x", 1), 1);
        QEventLoop nested;
        QTimer::singleShot(60ms, &nested, &QEventLoop::quit);
        nested.exec(QEventLoop::ExcludeUserInputEvents);
        ran += "|";
        hold.release();
        ran += "released";  // nothing runs inside the code that ended the hold
        waited = true;
    });
    EXPECT_TRUE(runUntil([&] { return waited && ran.size() >= std::string("|releasedpwt").size(); }));
    EXPECT_EQ(reads, 1);
    // Posted work in its order; the timer, due long ago, after the work that
    // was already waiting when the loop resumed.
    EXPECT_TRUE(ran == "|releasedpwt" || ran == "|releasedtpw") << ran;
    loop.cancel(watch);
    close(fds[0]);
    close(fds[1]);
}

}  // namespace
