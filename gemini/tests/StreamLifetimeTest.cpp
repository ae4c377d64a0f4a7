#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "gemini/Chat.h"
#include "gemini/GenerativeModel.h"
#include "platform/Executor.h"
#include "testsupport/LogCapture.h"

namespace gemini {
namespace {

// Every event names a harm category the client does not know, as the service
// really sends: decoding it logs an error line on the client's logger.
const std::string kEvent =
    R"(data: {"candidates": [{"content": {"role": "model", "parts": [{"text": "x"}]},)"
    R"( "safetyRatings": [{"category": "HARM_CATEGORY_NOT_YET_KNOWN", "probability": "NEGLIGIBLE"}]}]})"
    "\n\n";

// An answer that never ends: one event per read until the transfer is
// cancelled, like a long answer still arriving.
class EndlessHttpClient final : public platform::HttpClient {
public:
    class Stream final : public platform::HttpStream {
    public:
        Stream(EndlessHttpClient& owner, std::shared_ptr<platform::CancellationToken> token)
            : owner_(owner), token_(std::move(token)) {
            head_.status = 200;
        }
        const platform::HttpResponse& head() const override { return head_; }
        std::optional<std::string> read() override {
            if (token_ && token_->isCancelled()) {
                owner_.cancelled = true;
                throw platform::URLError(platform::URLError::Cancelled);
            }
            ++owner_.reads;
            return kEvent;
        }
        void cancel() override {}

    private:
        EndlessHttpClient& owner_;
        platform::HttpResponse head_;
        std::shared_ptr<platform::CancellationToken> token_;
    };

    platform::HttpResponse send(const platform::HttpRequest&) override { throw platform::URLError(platform::URLError::Unknown); }
    std::unique_ptr<platform::HttpStream> open(const platform::HttpRequest& request) override {
        return std::make_unique<Stream>(*this, request.cancellation);
    }

    std::atomic<long> reads{0};
    std::atomic<bool> cancelled{false};
};

struct Discard : platform::LogSink {
    void write(platform::LogLevel, std::string_view, std::string_view, std::string_view) override {}
};

TEST(StreamLifetime, AReaderThatLeavesStopsTheBufferingAtOnce) {
    auto [stream, continuation] = GenerateContentStream::make();
    continuation.yield({});
    EXPECT_TRUE(continuation.hasReader());
    auto other = GenerateContentStream::failed(nullptr);
    other = std::move(stream);  // the reader moves: still there
    EXPECT_TRUE(continuation.hasReader());
    other = GenerateContentStream::failed(nullptr);  // assigned over: gone
    EXPECT_FALSE(continuation.hasReader());
    continuation.yield({});  // dropped, no error
    continuation.finish();
}

TEST(StreamLifetime, ShuttingTheExecutorDownEndsAStreamNobodyReadsAndJoinsItsWorker) {
    const testsupport::LogCapture log;
    const auto http = std::make_shared<EndlessHttpClient>();
    const auto executor = std::make_shared<platform::Executor>(http);
    const GenerativeModel model("gemini-1.5-flash", "key", {}, http, "https://gemini.test", executor);
    {
        auto stream = model.generateContentStream({"Tell me everything."});
        ASSERT_TRUE(stream.next());
    }  // the reader leaves; the worker reads on
    const auto chat = model.startChat();
    (void)chat->sendMessageStream({"And the rest."});
    while (http->reads.load() < 100) std::this_thread::yield();

    executor->shutdown();
    EXPECT_TRUE(http->cancelled);
    // Joined: no worker is left to read or log once shutdown has returned.
    EXPECT_EQ(executor->threadCount(), 0u);
    EXPECT_TRUE(chat->history().empty());  // a cancelled exchange adds nothing

    // Later streams fail at once instead of waiting for a worker.
    auto late = model.generateContentStream({"Still there?"});
    EXPECT_THROW((void)late.next(), GenerateContentError);
    auto lateChat = chat->sendMessageStream({"Hello?"});
    EXPECT_THROW((void)lateChat.next(), GenerateContentError);
}

// The program quits while a dropped stream is still being read: shutting its
// executor down cancels and joins the worker before exit destroys the
// client's loggers and the log sink (under AddressSanitizer a worker logging
// into destroyed loggers is a use after free).
TEST(StreamLifetimeDeathTest, ExitWhileAStreamIsStillReadEndsCleanly) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            platform::Logger::setSink(std::make_shared<Discard>());
            const auto http = std::make_shared<EndlessHttpClient>();
            const auto executor = std::make_shared<platform::Executor>(http);
            {
                const GenerativeModel model("gemini-1.5-flash", "key", {}, http, "https://gemini.test", executor);
                auto stream = model.generateContentStream({"Tell me everything."});
                (void)stream.next();
                const auto chat = model.startChat();
                (void)chat->sendMessageStream({"And the rest."});
            }
            while (http->reads.load() < 1000) std::this_thread::yield();
            executor->shutdown();
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace gemini
