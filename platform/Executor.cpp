#include "platform/Executor.h"

#include <exception>
#include <string>

#include "platform/Logger.h"
#include "platform/Required.h"
#include "platform/Threads.h"

namespace platform {

namespace {
Logger executorLog() { return Logger("platform", "Executor"); }
}  // namespace

Executor::Executor(std::shared_ptr<HttpClient> transport)
    : transfers_(std::make_shared<TransferGroup>(required(std::move(transport), "Executor: the HTTP client"))),
      state_(std::make_shared<State>()) {}

Executor::~Executor() { shutdown(); }

bool Executor::submitJob(Job job) {
    auto& s = *state_;
    std::lock_guard lock(s.mutex);
    if (s.stopping)
        return false;
    s.queue.emplace_back(std::move(job), std::make_shared<CancellationToken>());
    if (s.idle >= s.queue.size()) {
        s.wake.notify_one();
        return true;
    }
    try {
        s.workers.push_back(startThread([state = state_] { work(state); }));
    } catch (const std::system_error& error) {
        // Out of threads: the job waits for a worker that is already there.
        if (s.workers.empty()) {
            s.queue.pop_back();
            executorLog().error(std::string("Cannot start a worker thread: ") + error.what());
            return false;
        }
    }
    return true;
}

void Executor::work(const std::shared_ptr<State>& state) {
    auto& s = *state;
    std::unique_lock lock(s.mutex);
    for (;;) {
        ++s.idle;
        s.wake.wait(lock, [&] { return s.stopping || !s.queue.empty(); });
        --s.idle;
        if (s.stopping)
            return;
        auto [job, token] = std::move(s.queue.front());
        s.queue.pop_front();
        const auto running = s.running.insert(token);
        lock.unlock();
        try {
            job(token);
        } catch (const std::exception& error) {
            executorLog().error(std::string("Uncaught exception in a worker job: ") + outsideText(error.what()));
        } catch (...) {
            executorLog().error("Uncaught exception in a worker job");
        }
        job = nullptr;  // its captures go before the worker takes the next job
        lock.lock();
        s.running.erase(running);
    }
}

void Executor::shutdown() {
    std::deque<std::pair<Job, Token>> dropped;
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
        dropped.swap(state_->queue);
        for (const auto& token : state_->running)
            token->cancel();
        workers.swap(state_->workers);
    }
    transfers_->cancelAll();
    state_->wake.notify_all();
    dropped.clear();  // outside the lock: a job's captures may do anything
    for (auto& worker : workers) {
        if (worker.get_id() != std::this_thread::get_id()) {
            worker.join();
            continue;
        }
        // A job let go of the last owner: its worker cannot wait for itself.
        // It holds the shared state and only returns from here.
        executorLog().error("Executor shut down from its own worker; that worker ends on its own");
        worker.detach();
    }
}

bool Executor::isShutDown() const {
    std::lock_guard lock(state_->mutex);
    return state_->stopping;
}

std::size_t Executor::threadCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->workers.size();
}

}  // namespace platform
