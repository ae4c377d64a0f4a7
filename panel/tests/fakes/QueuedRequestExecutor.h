#pragma once

#include <deque>
#include <functional>
#include <mutex>

#include "panel/RequestExecutor.h"
#include "platform/fake/FakeHttpClient.h"

namespace panel::testing {

// Keeps every job until the test runs it, standing in for the worker: a
// job not yet run is a request still on its way.
class QueuedRequestExecutor final : public RequestExecutor {
public:
    // Jobs of these tests never reach a transport.
    std::shared_ptr<platform::HttpClient> transport() const override { return transport_; }
    void execute(std::function<void()> job) override {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    // Runs the oldest job; false when there is none.
    bool runNext() { return run(false); }
    // Runs the newest job: a later call that overtakes an earlier one.
    bool runNewest() { return run(true); }
    int runAll() {
        int count = 0;
        while (runNext()) ++count;
        return count;
    }
    std::size_t pending() const {
        std::lock_guard lock(mutex_);
        return jobs_.size();
    }

private:
    std::shared_ptr<platform::HttpClient> transport_ = std::make_shared<platform::FakeHttpClient>();

    bool run(bool newest) {
        std::function<void()> job;
        {
            std::lock_guard lock(mutex_);
            if (jobs_.empty()) return false;
            job = std::move(newest ? jobs_.back() : jobs_.front());
            if (newest)
                jobs_.pop_back();
            else
                jobs_.pop_front();
        }
        job();
        return true;
    }

    mutable std::mutex mutex_;
    std::deque<std::function<void()>> jobs_;
};

}  // namespace panel::testing
