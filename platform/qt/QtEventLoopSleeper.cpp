#include "platform/qt/QtEventLoopSleeper.h"

#include <QEventLoop>
#include <QTimer>

#include "platform/MainLoop.h"

namespace platform {

void QtEventLoopSleeper::sleep(std::chrono::milliseconds duration) {
    // The program's own posted work and timers wait too: a shortcut pressed
    // now runs its action after the one waiting here, never inside it.
    MainLoop::Hold hold;
    if (const auto loop = MainLoop::main())
        hold = loop->hold();
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(duration);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace platform
