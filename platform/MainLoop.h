#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

// The program's main event loop, as the rest of the program sees it: work
// posted from any thread runs later on the main thread, file descriptors are
// watched for input, and timers fire. Every callback runs on the main thread.
//
// `post` is the only member that may be called from another thread; watches
// and timers are made and cancelled on the main thread.
class MainLoop {
public:
    using Task = std::function<void()>;
    using Id = std::uint64_t;

    virtual ~MainLoop() = default;

    // Runs `task` on a later turn of the loop, after the work already posted.
    virtual void post(Task task) = 0;

    // Calls `onReadable` on the main thread whenever `fd` has input to read,
    // until the watch is cancelled. The loop never closes `fd`.
    virtual Id watchReadable(int fd, Task onReadable) = 0;

    // Calls `onFire` once after `interval`, or every `interval` when `repeats`.
    virtual Id addTimer(std::chrono::milliseconds interval, bool repeats, Task onFire) = 0;

    // Ends a watch or timer; an unknown or already cancelled id is ignored.
    // Safe to call from inside the callback being cancelled.
    virtual void cancel(Id id) = 0;

    // The loop of the program's main thread. The program installs its loop at
    // start-up; tests install a manual one.
    static std::shared_ptr<MainLoop> main();
    static void setMain(std::shared_ptr<MainLoop> loop);
};

}  // namespace platform
