#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <memory>
#include <string>

#include "platform/qt/QtEventLoopSleeper.h"
#include "platform/qt/QtMainLoop.h"
#include "testsupport/QtEvents.h"

namespace {

using namespace std::chrono_literals;

TEST(QtEventLoopSleeperTest, OtherEventsAreServedButTheProgramsOwnWorkWaitsUntilAfter) {
    static int argc = 1;
    static char name[] = "qt_sleeper_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    const auto loop = std::make_shared<platform::QtMainLoop>();
    platform::MainLoop::setMain(loop);

    std::string order;
    loop->post([&] { order += "posted-before "; });
    // What Qt itself delivers meanwhile (a clipboard request, a socket) is
    // served inside the wait; work the program posts from there is not.
    QTimer::singleShot(10ms, [&] {
        order += "qt-event ";
        loop->post([&] { order += "posted-during "; });
    });
    loop->addTimer(5ms, false, [&] { order += "loop-timer "; });
    platform::QtEventLoopSleeper().sleep(60ms);
    order += "woke ";
    EXPECT_EQ(order, "qt-event woke ");
    EXPECT_TRUE(testsupport::runEventsUntil([&] {
        return order.find("posted-during") != std::string::npos && order.find("loop-timer") != std::string::npos;
    }));
    EXPECT_EQ(order.find("posted-before"), std::string("qt-event woke ").size());
    platform::MainLoop::setMain(nullptr);
}

}  // namespace
