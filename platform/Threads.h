#pragma once

#include <atomic>
#include <cstddef>
#include <stop_token>
#include <thread>
#include <utility>

namespace platform {

// Every thread the program starts goes through here, so that the program's
// end can tell whether one is still running (running()): a thread left after
// main() returns would run while the statics it uses go.
//
//   worker_ = platform::startThread([this] { run(); });
//   worker_ = platform::startStoppableThread([this](std::stop_token stop) { run(std::move(stop)); });
class Threads {
public:
    // Threads started here whose body has not returned yet.
    static std::size_t running();

    // The count itself. A module loaded at run time has its own copy of this
    // code: the program points it at its own count (countInto).
    static std::atomic<std::size_t>& count();
    static void countInto(std::atomic<std::size_t>& count);

    // Counts a thread from before it starts to the end of its body.
    class Counted {
    public:
        Counted();
        ~Counted();
        Counted(Counted&& other) noexcept : count_(std::exchange(other.count_, nullptr)) {}
        Counted(const Counted&) = delete;
        Counted& operator=(const Counted&) = delete;
        Counted& operator=(Counted&&) = delete;

    private:
        std::atomic<std::size_t>* count_;
    };
};

template <class F>
std::thread startThread(F&& body) {
    return std::thread([counted = Threads::Counted(), body = std::forward<F>(body)]() mutable { body(); });
}

template <class F>
std::jthread startStoppableThread(F&& body) {
    return std::jthread([counted = Threads::Counted(), body = std::forward<F>(body)](std::stop_token stop) mutable {
        body(std::move(stop));
    });
}

}  // namespace platform
