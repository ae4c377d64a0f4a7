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
    bool readerGone = false;
    bool readerAsleep = false;  // only then does the producer pay for a wake-up
    std::exception_ptr error;
    // Bumped on every change, so a reader can watch for one without the lock.
    // On a cache line of its own: the reader polling it must not slow the
    // producer taking the lock next to it.
    alignas(64) std::atomic<std::uint64_t> version{0};

    // After a change, with the lock released: a spinning reader that sees the
    // new version then finds the lock free instead of sleeping on it.
    void announce(bool wake) {
        version.fetch_add(1, std::memory_order_release);
        if (wake) changed.notify_all();
    }
};

namespace {

// The events of a fast answer follow each other within microseconds: watching
// for the next one a moment before sleeping spares the producer a wake-up per
// event. Bounded, so a slow answer costs only this short spin per wait.
constexpr std::chrono::microseconds kSpin{50};

}  // namespace

GenerateContentStream::Continuation::~Continuation() {
    if (buffer_)
        finish(std::make_exception_ptr(
            platform::Error(std::string(kClientIdentifier), -1, "The streamed answer from Gemini ended unexpectedly.")));
}

void GenerateContentStream::Continuation::yield(GenerateContentResponse chunk) const {
    bool wake = false;
    {
        std::lock_guard lock(buffer_->mutex);
        if (buffer_->finished || buffer_->readerGone) return;
        buffer_->chunks.push_back(std::move(chunk));
        wake = buffer_->readerAsleep;
    }
    buffer_->announce(wake);
}

bool GenerateContentStream::Continuation::hasReader() const {
    std::lock_guard lock(buffer_->mutex);
    return !buffer_->readerGone;
}

void GenerateContentStream::Continuation::finish() const { finish(nullptr); }

void GenerateContentStream::Continuation::finish(std::exception_ptr error) const {
    bool wake = false;
    {
        std::lock_guard lock(buffer_->mutex);
        if (buffer_->finished) return;
        buffer_->finished = true;
        buffer_->error = std::move(error);
        wake = buffer_->readerAsleep;
    }
    buffer_->announce(wake);
}

GenerateContentStream& GenerateContentStream::operator=(GenerateContentStream&& other) noexcept {
    if (this != &other) {
        leave();
        buffer_ = std::move(other.buffer_);
        taken_ = std::move(other.taken_);
        check_ = std::move(other.check_);
        mapError_ = std::move(other.mapError_);
        ended_ = other.ended_;
    }
    return *this;
}

GenerateContentStream::~GenerateContentStream() { leave(); }

void GenerateContentStream::leave() noexcept {
    if (!buffer_) return;
    std::deque<GenerateContentResponse> unread;
    {
        std::lock_guard lock(buffer_->mutex);
        buffer_->readerGone = true;
        unread.swap(buffer_->chunks);
    }
    buffer_.reset();
    // Freed here, outside the lock: the producer keeps going meanwhile.
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
    if (taken_.empty()) {
        if (auto error = takeBuffered()) {
            ended_ = true;
            std::rethrow_exception(mapError_ ? mapError_(error) : error);
        }
        if (taken_.empty()) {
            ended_ = true;
            return std::nullopt;
        }
    }
    std::optional<GenerateContentResponse> chunk(std::move(taken_.front()));
    taken_.pop_front();
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

std::exception_ptr GenerateContentStream::takeBuffered() {
    auto& buffer = *buffer_;
    std::uint64_t seen;
    {
        std::lock_guard lock(buffer.mutex);
        if (!buffer.chunks.empty()) {
            taken_.swap(buffer.chunks);
            return nullptr;
        }
        if (buffer.finished) return buffer.error;
        seen = buffer.version.load(std::memory_order_relaxed);
    }
    const auto until = std::chrono::steady_clock::now() + kSpin;
    while (buffer.version.load(std::memory_order_acquire) == seen && std::chrono::steady_clock::now() < until) {
    }
    std::unique_lock lock(buffer.mutex);
    buffer.readerAsleep = true;
    buffer.changed.wait(lock, [&] { return !buffer.chunks.empty() || buffer.finished; });
    buffer.readerAsleep = false;
    if (buffer.chunks.empty()) return buffer.error;
    taken_.swap(buffer.chunks);
    return nullptr;
}

GenerateContentStream GenerateContentStream::withChecks(
    std::function<void(const GenerateContentResponse&)> check,
    std::function<std::exception_ptr(std::exception_ptr)> mapError) && {
    check_ = std::move(check);
    mapError_ = std::move(mapError);
    return std::move(*this);
}

}  // namespace gemini
