#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

#include "Telemetry/EventQueue.h"
#include "Telemetry/TelemetryConfig.h"
#include "platform/Clock.h"
#include "platform/HttpClient.h"
#include "platform/MonotonicClock.h"

namespace telemetry {

// Sends the queued events to "<host>/batch" on a worker thread of its own:
// when flushAt events wait, every flushInterval while any wait, and on
// flush(). A batch is a gzip-compressed JSON POST; its events leave the queue
// only once the host accepted it with a 2xx answer. After a failure the worker
// backs off (retryDelay, doubling up to maxRetryDelay) before trying again.
// `clock` stamps the batches; `timer` measures the intervals and back-offs.
class BatchUploader {
public:
    BatchUploader(EventQueue& queue, std::shared_ptr<platform::HttpClient> http,
                  std::shared_ptr<platform::Clock> clock, std::shared_ptr<platform::MonotonicClock> timer,
                  const TelemetryConfig& config);
    // Cancels an upload in flight and joins the worker; it never waits for a
    // slow host. Unsent events stay on disk for the next run.
    ~BatchUploader() = default;

    BatchUploader(const BatchUploader&) = delete;
    BatchUploader& operator=(const BatchUploader&) = delete;

    // Wakes the worker if the queue may have reached flushAt. Returns at once.
    void eventAdded();

    // Uploads what waits now, back-off or not, and returns when that attempt
    // is over (sent, failed or cancelled). Blocks: for tests and tools.
    void flush();

    // Cancels an upload in flight and joins the worker, as the destructor
    // does, for good: later events stay on disk. Call it from one thread.
    void stop();

private:
    void run(std::stop_token stop);
    // True when the queue was emptied, false when an upload failed.
    bool uploadAll(std::stop_token stop);
    // An error text, or nothing when the host accepted the batch.
    std::optional<std::string> send(const EventQueue::Batch& batch, std::stop_token stop);

    EventQueue& queue_;
    const std::shared_ptr<platform::HttpClient> http_;
    const std::shared_ptr<platform::Clock> clock_;
    const std::shared_ptr<platform::MonotonicClock> timer_;
    const TelemetryConfig config_;

    std::mutex mutex_;
    std::condition_variable_any wake_;
    bool nudged_ = false;               // an event was added or a flush asked for
    std::uint64_t flushesAsked_ = 0;    // flush() calls so far
    std::uint64_t flushesDone_ = 0;     // of those, the ones a pass has covered
    bool stopped_ = false;

    // Declared last: destroyed first, so the worker is stopped and joined
    // while everything it uses still exists.
    std::jthread worker_;
};

}  // namespace telemetry
