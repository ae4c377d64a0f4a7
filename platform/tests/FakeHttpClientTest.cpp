#include <gtest/gtest.h>

#include "platform/fake/FakeHttpClient.h"

using platform::FakeHttpClient;
using platform::HttpRequest;
using platform::URLError;

namespace {
HttpRequest to(std::string url) {
    HttpRequest r;
    r.url = std::move(url);
    return r;
}
}  // namespace

TEST(FakeHttpClient, AnswersInOrderAndRecordsRequests) {
    FakeHttpClient fake;
    fake.enqueue(200, "first", {{"X-A", "1"}});
    fake.enqueue(platform::HttpResponse{});  // not an HTTP answer at all
    fake.enqueueError(URLError(URLError::TimedOut));
    fake.enqueueStream({platform::HttpResponse{200, {}, {}}, {"a", "b"}, URLError(URLError::NetworkConnectionLost)});

    EXPECT_EQ(fake.send(to("http://x/1")).body, "first");
    EXPECT_FALSE(fake.send(to("http://x/2")).status.has_value());
    EXPECT_THROW(fake.send(to("http://x/3")), URLError);
    auto stream = fake.open(to("http://x/4"));
    EXPECT_EQ(stream->head().status, 200);
    EXPECT_EQ(stream->read(), "a");
    EXPECT_EQ(stream->read(), "b");
    try {
        stream->read();
        FAIL() << "expected the scripted error";
    } catch (const URLError& e) {
        EXPECT_EQ(e.urlCode(), URLError::NetworkConnectionLost);
    }
    EXPECT_THROW(fake.send(to("http://x/5")), URLError);  // nothing scripted

    const auto seen = fake.requests();
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[3].url, "http://x/4");
    EXPECT_EQ(fake.pendingAnswers(), 0u);
}

TEST(FakeHttpClient, StreamsHonourCancellation) {
    FakeHttpClient fake;
    fake.enqueue(200, "whole body");
    fake.enqueueStream({platform::HttpResponse{200, {}, {}}, {"a", "b"}, std::nullopt});
    auto plain = fake.open(to("http://x/"));
    EXPECT_EQ(plain->read(), "whole body");
    EXPECT_EQ(plain->read(), std::nullopt);

    auto request = to("http://x/");
    request.cancellation = std::make_shared<platform::CancellationToken>();
    auto stream = fake.open(request);
    EXPECT_EQ(stream->read(), "a");
    request.cancellation->cancel();
    EXPECT_THROW(stream->read(), URLError);
}

// The line reader over every way a terminator can fall across the pieces of a
// body: CRLF split, bare CR and LF, CR as the last byte, runs of empty lines.
TEST(HttpLineReader, SplitsLinesWhereverTheTerminatorsFall) {
    const std::string body = "data: one\r\ndata: two\rthree\n\n\r\n\r\rfour\r\nlong " + std::string(300, 'x') +
                             "\n\xff tail";
    const std::vector<std::string> expected = {"data: one", "data: two", "three", "four",
                                               "long " + std::string(300, 'x'), "\xEF\xBF\xBD tail"};
    for (std::size_t size : {1u, 2u, 3u, 7u, 64u, 1000u}) {
        SCOPED_TRACE(size);
        std::vector<std::string> pieces;
        for (std::size_t at = 0; at < body.size(); at += size) pieces.push_back(body.substr(at, size));
        FakeHttpClient fake;
        fake.enqueueStream({platform::HttpResponse{200, {}, {}}, pieces, std::nullopt});
        auto stream = fake.open(to("http://x/"));
        platform::HttpLineReader lines(*stream);
        std::vector<std::string> seen;
        while (auto line = lines.nextLine()) seen.push_back(*line);
        EXPECT_EQ(seen, expected);
    }

    // A CR ending the body ends its line; nothing follows it.
    FakeHttpClient fake;
    fake.enqueueStream({platform::HttpResponse{200, {}, {}}, {"last\r"}, std::nullopt});
    auto stream = fake.open(to("http://x/"));
    platform::HttpLineReader lines(*stream);
    EXPECT_EQ(lines.nextLine(), "last");
    EXPECT_EQ(lines.nextLine(), std::nullopt);
}
