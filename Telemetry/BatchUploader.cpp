#include "Telemetry/BatchUploader.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include <fmt/format.h>

#include "Telemetry/Gzip.h"
#include "Telemetry/TelemetryLog.h"
#include "platform/Threads.h"

namespace telemetry {

BatchUploader::BatchUploader(EventQueue& queue, std::shared_ptr<platform::HttpClient> http,
                             std::shared_ptr<platform::Clock> clock, std::shared_ptr<platform::MonotonicClock> timer,
                             const TelemetryConfig& config)
    : queue_(queue), http_(std::move(http)), clock_(std::move(clock)), timer_(std::move(timer)), config_(config) {
    worker_ = platform::startStoppableThread([this](std::stop_token stop) { run(std::move(stop)); });
}

void BatchUploader::eventAdded() {
    {
        std::lock_guard lock(mutex_);
        nudged_ = true;
    }
    wake_.notify_all();
}

void BatchUploader::flush() {
    std::unique_lock lock(mutex_);
    const auto goal = ++flushesAsked_;
    nudged_ = true;
    wake_.notify_all();
    wake_.wait(lock, [&] { return flushesDone_ >= goal || stopped_; });
}

void BatchUploader::stop() {
    if (!worker_.joinable()) return;
    worker_.request_stop();
    worker_.join();
}

void BatchUploader::run(std::stop_token stop) {
    const std::size_t flushAt = std::max<std::size_t>(config_.flushAt, 1);
    // Uploads prompted by the queue's size wait for countGate; those of the
    // interval for nextAttempt. A failure pushes both out by the back-off.
    auto countGate = timer_->now();
    auto nextAttempt = countGate + config_.flushInterval;
    unsigned failures = 0;

    while (!stop.stop_requested()) {
        std::uint64_t flushGoal = 0;
        {
            std::unique_lock lock(mutex_);
            for (;;) {
                if (stop.stop_requested() || flushesAsked_ > flushesDone_) break;
                const auto now = timer_->now();
                const std::size_t waiting = queue_.size();
                if (waiting >= flushAt && now >= countGate) break;
                if (waiting > 0 && now >= nextAttempt) break;
                const auto nudged = [this] { return std::exchange(nudged_, false); };
                if (waiting == 0) {
                    wake_.wait(lock, stop, nudged);
                } else {
                    timer_->waitUntil(wake_, lock, stop, waiting >= flushAt ? countGate : nextAttempt, nudged);
                }
            }
            flushGoal = flushesAsked_;
        }
        if (stop.stop_requested()) break;

        const bool emptied = uploadAll(stop);
        const auto now = timer_->now();
        if (emptied) {
            failures = 0;
            countGate = now;
            nextAttempt = now + config_.flushInterval;
        } else if (!stop.stop_requested()) {
            ++failures;
            auto delay = config_.retryDelay;
            for (unsigned i = 1; i < failures && delay < config_.maxRetryDelay; ++i) delay *= 2;
            delay = std::min(delay, config_.maxRetryDelay);
            countGate = nextAttempt = now + delay;
            log().info(fmt::format("[Telemetry] {} events kept; next upload in {} ms", queue_.size(), delay.count()));
        }
        {
            std::lock_guard lock(mutex_);
            flushesDone_ = std::max(flushesDone_, flushGoal);
        }
        wake_.notify_all();
    }
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    wake_.notify_all();
}

bool BatchUploader::uploadAll(std::stop_token stop) {
    const std::size_t batchSize = std::max<std::size_t>(config_.maxBatchSize, 1);
    while (!stop.stop_requested()) {
        auto batch = queue_.oldest(batchSize);
        if (batch.ids.empty()) return true;
        if (auto error = send(batch, stop)) {
            if (!stop.stop_requested())
                log().error(fmt::format("[Telemetry] upload of {} events failed: {}", batch.ids.size(), *error));
            return false;
        }
        queue_.remove(batch.ids);
    }
    return false;
}

std::optional<std::string> BatchUploader::send(const EventQueue::Batch& batch, std::stop_token stop) {
    try {
        const nlohmann::json body = {
            {"api_key", config_.apiKey},
            {"batch", batch.events},
            {"sent_at", platform::iso8601(clock_->now())},
        };
        platform::HttpRequest request;
        request.method = "POST";
        request.url = config_.host + "/batch";
        request.headers = {{"Content-Type", "application/json"}, {"Content-Encoding", "gzip"}};
        request.body = gzipCompress(body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
        request.timeout = config_.requestTimeout;
        request.loopbackOnly = config_.loopbackOnly;
        auto token = std::make_shared<platform::CancellationToken>();
        request.cancellation = token;
        // Shutting down must not wait for a host that does not answer.
        std::stop_callback cancelOnStop(stop, [token] { token->cancel(); });

        const auto response = http_->send(request);
        if (!response.status) return "the answer was not HTTP";
        if (*response.status < 200 || *response.status > 299) return fmt::format("HTTP {}", *response.status);
        return std::nullopt;
    } catch (const std::exception& e) {
        return platform::outsideText(e.what());
    }
}

}  // namespace telemetry
