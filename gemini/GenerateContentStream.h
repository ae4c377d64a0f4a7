#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "gemini/GenerateContentResponse.h"

namespace gemini {

// The answer of a streamed call, chunk by chunk. A background producer fills
// an unbounded buffer; `next()` takes the chunks in order. The buffer is
// shared, so the producer may run to the end of the answer whether or not
// anybody still reads; once the reader is gone, what was buffered is freed
// and later chunks are dropped as they come. The reader takes everything
// buffered at once and hands it out from its own queue, so the two sides meet
// at the lock once per batch rather than once per chunk.
class GenerateContentStream {
    struct Buffer;

public:
    // The producing end. Ending it is idempotent; one that is dropped without
    // being ended ends the stream with an error, so a reader never waits for
    // a producer that is gone.
    class Continuation {
    public:
        Continuation(Continuation&&) noexcept = default;
        Continuation& operator=(Continuation&&) noexcept = default;
        ~Continuation();

        // Dropped when the reader is gone or the stream has ended.
        void yield(GenerateContentResponse chunk) const;
        // Whether a reader is still there to take what is yielded.
        bool hasReader() const;
        void finish() const;
        void finish(std::exception_ptr error) const;

    private:
        friend class GenerateContentStream;
        explicit Continuation(std::shared_ptr<Buffer> buffer) : buffer_(std::move(buffer)) {}
        std::shared_ptr<Buffer> buffer_;
    };

    // One reader per stream: it moves, it does not copy. Destroying it (or
    // assigning over it) tells the producer that nobody reads any more.
    GenerateContentStream(GenerateContentStream&&) noexcept = default;
    GenerateContentStream& operator=(GenerateContentStream&& other) noexcept;
    ~GenerateContentStream();
    GenerateContentStream(const GenerateContentStream&) = delete;
    GenerateContentStream& operator=(const GenerateContentStream&) = delete;

    // A stream and the end that feeds it.
    static std::pair<GenerateContentStream, Continuation> make();
    // A stream that yields nothing and fails with `error` on the first next().
    static GenerateContentStream failed(std::exception_ptr error);

    // The next chunk; nothing once the answer has ended normally. Blocks until
    // one is there. When the answer ended with an error, throws it once, after
    // every chunk before it; later calls give nothing.
    std::optional<GenerateContentResponse> next();

    // The same chunks, seen through `check` (may throw to end the stream with
    // its error) and with a failure of the producer passed through
    // `mapError`. Used by the model to apply its response checks and error
    // mapping as the consumer reads.
    GenerateContentStream withChecks(std::function<void(const GenerateContentResponse&)> check,
                                     std::function<std::exception_ptr(std::exception_ptr)> mapError) &&;

private:
    explicit GenerateContentStream(std::shared_ptr<Buffer> buffer) : buffer_(std::move(buffer)) {}
    // Moves what the producer buffered into `taken_`, waiting for something
    // when there is nothing yet. Returns the producer's error when the answer
    // ended with nothing left to take.
    std::exception_ptr takeBuffered();
    void leave() noexcept;

    std::shared_ptr<Buffer> buffer_;
    std::deque<GenerateContentResponse> taken_;  // the reader's own; no lock
    std::function<void(const GenerateContentResponse&)> check_;
    std::function<std::exception_ptr(std::exception_ptr)> mapError_;
    bool ended_ = false;
};

}  // namespace gemini
