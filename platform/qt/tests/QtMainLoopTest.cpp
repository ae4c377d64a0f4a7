#include <gtest/gtest.h>

#include <QCoreApplication>

#include <unistd.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <thread>

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

}  // namespace
