#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

namespace platform {

// The program's main event loop, as the rest of the program sees it: work
// posted from any thread runs later on the main thread, file descriptors are
// watched for input, and timers fire. Every callback runs on the main thread.
//
// `post` is the only member that may be called from another thread; watches,
// timers and holds are made and ended on the main thread.
//
// Timers are precise, and timers due at the same moment fire in the order
// they were made (a repeating timer counts as made again each time it is
// re-armed). Posted work runs in the order it was posted.
class MainLoop {
public:
    using Task = std::function<void()>;
    using Id = std::uint64_t;

    class Context;
    class Hold;

    virtual ~MainLoop() = default;

    // Runs `task` on a later turn of the loop, after the work already posted.
    virtual void post(Task task) = 0;

    // The same, for work that belongs to `context`: when the context is gone
    // by the time the task's turn comes, the task is dropped without running.
    // A context that is a shared owner stays alive while its task runs.
    void post(const Context& context, Task task);

    // Calls `onReadable` on the main thread whenever `fd` has input to read,
    // until the watch is cancelled. The loop never closes `fd`.
    virtual Id watchReadable(int fd, Task onReadable) = 0;

    // Calls `onFire` once after `interval`, or every `interval` when `repeats`.
    virtual Id addTimer(std::chrono::milliseconds interval, bool repeats, Task onFire) = 0;

    // Ends a watch or timer; an unknown or already cancelled id is ignored.
    // Safe to call from inside the callback being cancelled.
    virtual void cancel(Id id) = 0;

    // Holds back the loop's posted work and timers until the returned hold
    // ends. Work posted and timers falling due meanwhile wait, in their order,
    // and run on later turns after the last hold ended (never inside the code
    // that took the hold). Watches keep being served. Holds nest.
    [[nodiscard]] Hold hold();
    virtual bool isHeld() const = 0;

    // The loop of the program's main thread. The program installs its loop at
    // start-up; tests install a manual one. Throws std::logic_error when
    // there is none.
    static std::shared_ptr<MainLoop> main();
    // The same, or null where there is none; while nothing was ever
    // installed, the loop `makeDefault` makes (once; null: none yet) is the
    // default, which main() gives from then on. This layer has no loop of
    // its own to make: a library that can make one asks with its maker.
    static std::shared_ptr<MainLoop> main(std::shared_ptr<MainLoop> (*makeDefault)());
    static void setMain(std::shared_ptr<MainLoop> loop);

protected:
    // Counted by Hold; the loop resumes when the count is back at zero.
    virtual void beginHold() = 0;
    virtual void endHold() = 0;
};

// What a posted task belongs to. The task runs only if the context is still
// there on the main thread when the task's turn comes. Cheap to copy and safe
// to copy on any thread.
class MainLoop::Context {
public:
    // Run on the main thread right before the task: something that keeps the
    // context alive while the task runs, or null when the context is gone.
    using Lock = std::function<std::shared_ptr<const void>()>;

    explicit Context(Lock lock) : lock_(std::move(lock)) {}

    // An object owned through std::shared_ptr: there while any owner is left,
    // and kept while the task runs. Implicit, so that work reads
    // `loop.post(weak_from_this(), ...)`; a shared_ptr is held weakly.
    template <class T>
    Context(std::weak_ptr<T> owner)
        : lock_([owner = std::move(owner)]() -> std::shared_ptr<const void> { return owner.lock(); }) {}
    template <class T>
    Context(const std::shared_ptr<T>& owner) : Context(std::weak_ptr<T>(owner)) {}

    std::shared_ptr<const void> lock() const { return lock_ ? lock_() : nullptr; }

private:
    Lock lock_;
};

// While a hold exists, its loop runs no posted work and no timers. Taken and
// ended on the main thread; the loop must outlive it.
class MainLoop::Hold {
public:
    Hold() = default;
    explicit Hold(MainLoop& loop);
    Hold(Hold&& other) noexcept : loop_(std::exchange(other.loop_, nullptr)) {}
    Hold& operator=(Hold&& other) noexcept;
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    ~Hold() { release(); }

    // Ends the hold early; later calls do nothing.
    void release();
    bool isActive() const { return loop_ != nullptr; }

private:
    MainLoop* loop_ = nullptr;
};

}  // namespace platform
