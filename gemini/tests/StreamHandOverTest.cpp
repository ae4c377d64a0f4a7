#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "gemini/GenerateContentStream.h"

using gemini::GenerateContentResponse;
using gemini::GenerateContentStream;

namespace {

GenerateContentResponse numbered(std::int64_t n) {
    GenerateContentResponse chunk;
    chunk.usageMetadata = GenerateContentResponse::UsageMetadata{n, 0, n};
    return chunk;
}

}  // namespace

// The reader takes chunks in batches and the producer wakes it only while it
// sleeps: with bursts (taken as batches) and pauses (the reader falls asleep)
// every chunk must still arrive once, in order, and the error after them.
TEST(StreamHandOver, DeliversBurstsAndStragglersInOrderThenTheError) {
    constexpr int kChunks = 3000;
    auto [stream, continuation] = GenerateContentStream::make();
    std::thread producer([continuation = std::move(continuation)] {
        for (int i = 0; i < kChunks; ++i) {
            continuation.yield(numbered(i));
            if (i % 500 == 499) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        continuation.finish(std::make_exception_ptr(std::runtime_error("cut off")));
    });
    int expected = 0;
    try {
        while (auto chunk = stream.next()) {
            ASSERT_TRUE(chunk->usageMetadata);
            EXPECT_EQ(chunk->usageMetadata->promptTokenCount, expected);
            ++expected;
        }
        ADD_FAILURE() << "the producer's error was lost";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "cut off");
    }
    producer.join();
    EXPECT_EQ(expected, kChunks);
    EXPECT_EQ(stream.next(), std::nullopt);  // the error is thrown once
}

// A reader asleep before anything arrives is woken by the first chunk and by
// the end of an answer that had none.
TEST(StreamHandOver, WakesAReaderThatWaitsBeforeTheFirstChunk) {
    auto [stream, continuation] = GenerateContentStream::make();
    std::thread producer([&continuation] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        continuation.yield(numbered(7));
    });
    const auto first = stream.next();
    producer.join();
    ASSERT_TRUE(first && first->usageMetadata);
    EXPECT_EQ(first->usageMetadata->promptTokenCount, 7);

    auto [empty, ending] = GenerateContentStream::make();
    std::thread finisher([&ending] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ending.finish();
    });
    EXPECT_EQ(empty.next(), std::nullopt);
    finisher.join();
}
