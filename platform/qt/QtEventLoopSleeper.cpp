#include "platform/qt/QtEventLoopSleeper.h"

#include <QEventLoop>
#include <QTimer>

namespace platform {

void QtEventLoopSleeper::sleep(std::chrono::milliseconds duration) {
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(duration);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace platform
