#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "platform/Executor.h"
#include "platform/TransferGroup.h"
#include "platform/fake/FakeHttpClient.h"
#include "testsupport/LogCapture.h"

namespace {

using namespace std::chrono_literals;

// A transport whose requests hang until their token is raised, like a server
// that never answers.
class HangingHttpClient final : public platform::HttpClient {
public:
    platform::HttpResponse send(const platform::HttpRequest& request) override {
        started.fetch_add(1);
        if (!request.cancellation)
            throw platform::URLError(platform::URLError::Unknown, "no token to stop this request");
        while (!request.cancellation->isCancelled())
            std::this_thread::sleep_for(1ms);
        throw platform::URLError(platform::URLError::Cancelled);
    }
    std::unique_ptr<platform::HttpStream> open(const platform::HttpRequest&) override {
        throw platform::URLError(platform::URLError::Unknown);
    }
    std::atomic<int> started{0};
};

// Counts down once per arrival; waits until everyone arrived.
class Meeting {
public:
    explicit Meeting(int count) : left_(count) {}
    void arriveAndWait() {
        std::unique_lock lock(mutex_);
        if (--left_ == 0) changed_.notify_all();
        changed_.wait(lock, [&] { return left_ <= 0; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int left_;
};

TEST(Executor, JobsThatWaitForEachOtherEachGetAWorker) {
    platform::Executor executor(std::make_shared<platform::FakeHttpClient>());
    Meeting meeting(3);
    std::promise<void> done[3];
    for (auto& promise : done)
        EXPECT_TRUE(executor.submit([&meeting, &promise] {
            meeting.arriveAndWait();
            promise.set_value();
        }));
    for (auto& promise : done)
        EXPECT_EQ(promise.get_future().wait_for(10s), std::future_status::ready);
    EXPECT_EQ(executor.threadCount(), 3u);

    // An idle worker takes the next job instead of a new thread.
    std::promise<std::thread::id> ran;
    executor.submit([&] { ran.set_value(std::this_thread::get_id()); });
    EXPECT_NE(ran.get_future().get(), std::this_thread::get_id());
    EXPECT_EQ(executor.threadCount(), 3u);
}

TEST(Executor, ShutdownCancelsTransfersAndTokensThenJoinsEveryWorker) {
    const auto transport = std::make_shared<HangingHttpClient>();
    platform::Executor executor(transport);
    std::atomic<long> transferError{0};
    std::atomic<bool> tokenSeen{false};
    std::atomic<int> jobsEnded{0};
    executor.submit([&, http = executor.http()] {
        try {
            http->send(platform::HttpRequest{});  // no token of its own
        } catch (const platform::URLError& error) {
            transferError = error.code();
        }
        ++jobsEnded;
    });
    std::atomic<bool> waiting{false};
    executor.submit([&](const platform::Executor::Token& token) {
        waiting = true;
        while (!token->isCancelled())
            std::this_thread::sleep_for(1ms);
        tokenSeen = true;
        ++jobsEnded;
    });
    while (transport->started.load() == 0 || !waiting)
        std::this_thread::sleep_for(1ms);

    executor.shutdown();
    // Joined: everything the jobs did is done when shutdown returns.
    EXPECT_EQ(jobsEnded.load(), 2);
    EXPECT_EQ(transferError.load(), platform::URLError::Cancelled);
    EXPECT_TRUE(tokenSeen);
    EXPECT_EQ(executor.threadCount(), 0u);

    auto owned = std::make_shared<int>(0);
    std::weak_ptr<int> watch = owned;
    EXPECT_FALSE(executor.submit([owned = std::move(owned)] { ADD_FAILURE() << "ran after shutdown"; }));
    EXPECT_TRUE(watch.expired());  // dropped, not kept
    EXPECT_THROW(executor.http()->send(platform::HttpRequest{}), platform::URLError);
    executor.shutdown();  // again: nothing
}

TEST(Executor, AFailingJobIsLoggedAndTheWorkerCarriesOn) {
    testsupport::LogCapture log;
    platform::Executor executor(std::make_shared<platform::FakeHttpClient>());
    executor.submit([] { throw std::runtime_error("provider exploded"); });
    std::promise<void> next;
    executor.submit([&] { next.set_value(); });
    EXPECT_EQ(next.get_future().wait_for(10s), std::future_status::ready);
    executor.shutdown();
    EXPECT_TRUE(log.contains("Uncaught exception in a worker job: provider exploded"));
}

TEST(Executor, AJobMayDropTheLastOwnerOfItsExecutor) {
    testsupport::LogCapture log;
    auto executor = std::make_shared<platform::Executor>(std::make_shared<platform::FakeHttpClient>());
    std::promise<void> go, done;
    auto goFuture = go.get_future().share();
    executor->submit([keep = executor, goFuture, &done]() mutable {
        goFuture.wait();
        keep.reset();  // the last owner: shutdown runs on this very worker
        done.set_value();
    });
    executor.reset();
    go.set_value();
    EXPECT_EQ(done.get_future().wait_for(10s), std::future_status::ready);
    EXPECT_TRUE(log.contains("Executor shut down from its own worker"));
}

TEST(TransferGroup, CancelAllStopsStreamsInFlightAndRefusesNewTransfers) {
    const auto transport = std::make_shared<platform::FakeHttpClient>();
    transport->enqueueStream({platform::HttpResponse{200, {}, {}}, {"one", "two"}, std::nullopt});
    transport->enqueue(200, "whole");
    platform::TransferGroup group(transport);

    platform::HttpRequest own;
    own.cancellation = std::make_shared<platform::CancellationToken>();
    auto stream = group.open(platform::HttpRequest{});
    EXPECT_EQ(group.send(own).body, "whole");
    EXPECT_EQ(transport->requests()[1].cancellation, own.cancellation);  // the caller's token goes on
    ASSERT_TRUE(transport->requests()[0].cancellation);                  // one of the group's own
    EXPECT_EQ(group.inFlight(), 1u);

    EXPECT_EQ(stream->read(), "one");
    group.cancelAll();
    try {
        stream->read();
        ADD_FAILURE() << "read after cancelAll";
    } catch (const platform::URLError& error) {
        EXPECT_EQ(error.code(), platform::URLError::Cancelled);
    }
    stream.reset();
    EXPECT_EQ(group.inFlight(), 0u);
    EXPECT_THROW(group.send(own), platform::URLError);
    EXPECT_EQ(transport->requests().size(), 2u);  // refused before reaching the transport
}

}  // namespace
