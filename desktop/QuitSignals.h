#pragma once

#include <functional>
#include <memory>

#include "platform/MainLoop.h"

namespace desktop {

// Turns SIGTERM, SIGINT and SIGHUP into a call on the main loop, so a signal
// ends the program the way "Quit Quillary" does: the loop ends, transfers
// stop, workers are joined and the settings are written. SIGHUP stays
// ignored when it was ignored already (started with nohup). The signal handler only
// writes a byte to a pipe the loop watches (the one thing a handler may do
// safely). One instance at a time; the previous handlers come back when it goes.
class QuitSignals {
public:
    QuitSignals(std::shared_ptr<platform::MainLoop> loop, std::function<void(int signal)> onSignal);
    ~QuitSignals();
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

private:
    void drain();

    std::shared_ptr<platform::MainLoop> loop_;
    std::function<void(int)> onSignal_;
    int readEnd_ = -1;
    platform::MainLoop::Id watch_ = 0;
};

}  // namespace desktop
