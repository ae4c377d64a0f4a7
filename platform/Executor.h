#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/HttpClient.h"
#include "platform/TransferGroup.h"

namespace platform {

// Runs blocking work (provider calls, streamed answers) on worker threads
// that it owns. Whoever builds the program's objects makes one and shuts it
// down at quit: the transfers still running are cancelled, work not yet
// started is dropped, and every worker is joined, so no thread of the program
// outlives it. A worker is made when a job finds none idle, so a job that
// waits for another never waits for a free thread; idle workers wait for the
// next job until shutdown.
//
// A job's transfers are cancelled at shutdown when they go through `http()`,
// or when they carry the job's own token (HttpRequest::cancellation).
// Thread-safe; shut down from any thread but its own workers.
class Executor {
public:
    using Token = std::shared_ptr<CancellationToken>;
    using Job = std::function<void(const Token&)>;

    // `transport` is what `http()` passes requests on to.
    explicit Executor(std::shared_ptr<HttpClient> transport);
    ~Executor();  // shuts down
    Executor(const Executor&) = delete;
    Executor& operator=(const Executor&) = delete;

    // Runs `job` on a worker: a callable taking the job's token, or nothing.
    // Returns false, and drops the job unrun, once shut down. An exception
    // leaving a job is logged and ends only that job.
    template <class F>
    bool submit(F&& job) {
        if constexpr (std::is_invocable_v<F&, const Token&>)
            return submitJob(Job(std::forward<F>(job)));
        else
            return submitJob([job = std::forward<F>(job)](const Token&) mutable { job(); });
    }

    // The transport for the jobs' requests; shutdown cancels what is in flight.
    std::shared_ptr<HttpClient> http() const { return transfers_; }

    // Cancels the running transfers and the jobs' tokens, drops the queued
    // jobs, and joins every worker. Later calls do nothing.
    void shutdown();
    bool isShutDown() const;

    // Workers there now, idle or busy; for tests.
    std::size_t threadCount() const;

private:
    // Shared with the workers, which never touch the Executor itself: a job
    // may drop the last owner of its Executor.
    struct State {
        mutable std::mutex mutex;
        std::condition_variable wake;
        std::deque<std::pair<Job, Token>> queue;
        std::multiset<Token> running;
        std::vector<std::thread> workers;
        std::size_t idle = 0;
        bool stopping = false;
    };

    bool submitJob(Job job);
    static void work(const std::shared_ptr<State>& state);

    std::shared_ptr<TransferGroup> transfers_;
    std::shared_ptr<State> state_;
};

}  // namespace platform
