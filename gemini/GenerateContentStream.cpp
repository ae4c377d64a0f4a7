#include "gemini/GenerateContentStream.h"

#include <chrono>

#include "gemini/Logging.h"
#include "platform/Error.h"

namespace gemini {

struct GenerateContentStream::Buffer {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<GenerateContentResponse> chunks;
    bool finished = false;
    std::exception_ptr error;
    // Bumped on every change, so a reader can watch for one without the lock.
    std::atomic<std::uint64_t> version{0};
};

GenerateContentStream::Continuation::~Continuation() {
    if (buffer_)
        finish(std::make_exception_ptr(
            platform::Error(std::string(kClientIdentifier), -1, "The streamed answer from Gemini ended unexpectedly.")));
}

void GenerateContentStream::Continuation::yield(GenerateContentResponse chunk) const {
    {
        std::lock_guard lock(buffer_->mutex);
        if (buffer_->finished) return;
        buffer_->chunks.push_back(std::move(chunk));
        buffer_->version.fetch_add(1, std::memory_order_release);
    }
    buffer_->changed.notify_all();
}

void GenerateContentStream::Continuation::finish() const { finish(nullptr); }

void GenerateContentStream::Continuation::finish(std::exception_ptr error) const {
    {
        std::lock_guard lock(buffer_->mutex);
        if (buffer_->finished) return;
        buffer_->finished = true;
        buffer_->error = std::move(error);
        buffer_->version.fetch_add(1, std::memory_order_release);
    }
    buffer_->changed.notify_all();
}

std::pair<GenerateContentStream, GenerateContentStream::Continuation> GenerateContentStream::make() {
    auto buffer = std::make_shared<Buffer>();
    return {GenerateContentStream(buffer), Continuation(buffer)};
}

GenerateContentStream GenerateContentStream::failed(std::exception_ptr error) {
    auto [stream, continuation] = make();
    continuation.finish(std::move(error));
    return std::move(stream);
}

std::optional<GenerateContentResponse> GenerateContentStream::next() {
    if (ended_ || !buffer_) return std::nullopt;
    std::optional<GenerateContentResponse> chunk;
    std::exception_ptr error;
    waitBriefly();
    {
        std::unique_lock lock(buffer_->mutex);
        buffer_->changed.wait(lock, [&] { return !buffer_->chunks.empty() || buffer_->finished; });
        if (!buffer_->chunks.empty()) {
            chunk = std::move(buffer_->chunks.front());
            buffer_->chunks.pop_front();
        } else {
            error = buffer_->error;
        }
    }
    if (!chunk) {
        ended_ = true;
        if (error) std::rethrow_exception(mapError_ ? mapError_(error) : error);
        return std::nullopt;
    }
    if (check_) {
        try {
            check_(*chunk);
        } catch (...) {
            ended_ = true;
            throw;
        }
    }
    return chunk;
}

void GenerateContentStream::waitBriefly() const {
    // The events of a fast answer follow each other within microseconds:
    // watching for the next one a moment before sleeping saves a wake-up per
    // event. Bounded, so a slow answer costs only this short spin.
    const auto seen = buffer_->version.load(std::memory_order_acquire);
    {
        std::lock_guard lock(buffer_->mutex);
        if (!buffer_->chunks.empty() || buffer_->finished) return;
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(50);
    while (buffer_->version.load(std::memory_order_acquire) == seen && std::chrono::steady_clock::now() < until) {
    }
}

GenerateContentStream GenerateContentStream::withChecks(
    std::function<void(const GenerateContentResponse&)> check,
    std::function<std::exception_ptr(std::exception_ptr)> mapError) && {
    check_ = std::move(check);
    mapError_ = std::move(mapError);
    return std::move(*this);
}

}  // namespace gemini
