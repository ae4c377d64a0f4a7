#include "platform/DeferredHttpClient.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>
#include <vector>

#include "platform/fake/FakeHttpClient.h"

namespace {

using platform::DeferredHttpClient;
using platform::FakeHttpClient;
using platform::URLError;

platform::HttpRequest get() {
    platform::HttpRequest request;
    request.url = "http://127.0.0.1/x";
    return request;
}

TEST(DeferredHttpClient, MakesItsTransportOnceAtTheFirstRequestEvenWhenTheyRace) {
    auto fake = std::make_shared<FakeHttpClient>();
    for (int i = 0; i < 8; ++i) fake->enqueue(200, "ok");
    std::atomic<int> made{0};
    DeferredHttpClient client([&] {
        ++made;
        return fake;
    });
    EXPECT_FALSE(client.isMade());
    EXPECT_EQ(made, 0);

    std::vector<std::future<std::string>> calls;
    for (int i = 0; i < 8; ++i)
        calls.push_back(std::async(std::launch::async, [&] { return client.send(get()).body; }));
    for (auto& call : calls) EXPECT_EQ(call.get(), "ok");
    EXPECT_EQ(made, 1);
    EXPECT_TRUE(client.isMade());
    EXPECT_EQ(fake->requests().size(), 8u);
}

TEST(DeferredHttpClient, AFailedLoadFailsThatRequestAsATransportErrorAndTheNextOneTriesAgain) {
    auto fake = std::make_shared<FakeHttpClient>();
    fake->enqueueStream({{200, {}, ""}, {"a", "b"}, std::nullopt});
    int attempts = 0;
    DeferredHttpClient client([&]() -> std::shared_ptr<platform::HttpClient> {
        ++attempts;
        if (attempts == 1) throw std::runtime_error("no such file");
        if (attempts == 2) return nullptr;
        return fake;
    });

    try {
        client.send(get());
        FAIL() << "the first request had no transport";
    } catch (const URLError& error) {
        EXPECT_EQ(error.urlCode(), URLError::Unknown);
        EXPECT_STREQ(error.what(), "The network library could not start: no such file");
    }
    EXPECT_THROW(client.open(get()), URLError);
    EXPECT_FALSE(client.isMade());

    const auto stream = client.open(get());
    EXPECT_EQ(stream->read(), "a");
    EXPECT_EQ(attempts, 3);
    EXPECT_TRUE(client.isMade());
}

}  // namespace
