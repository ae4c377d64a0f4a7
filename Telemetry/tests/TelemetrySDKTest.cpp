#include <gtest/gtest.h>

#include <fstream>
#include <latch>
#include <regex>
#include <set>
#include <stdexcept>
#include <thread>

#include <nlohmann/json.hpp>

#include "Telemetry/TelemetrySDK.h"
#include "TelemetryTestSupport.h"
#include "platform/LibraryDefaults.h"
#include "platform/fake/FakeHttpClient.h"
#include "platform/fake/ManualMonotonicClock.h"
#include "testsupport/TempHome.h"

namespace telemetry {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;

constexpr double kNow = 1'780'000'000.25;  // 2026-05-28T20:26:40.250Z

// The JSON body of an upload request, as the host sees it after gunzip.
json bodyOf(const platform::HttpRequest& request) { return json::parse(test::gunzip(request.body)); }

std::vector<std::string> eventNames(const json& body) {
    std::vector<std::string> names;
    for (const auto& e : body.at("batch")) names.push_back(e.at("event").get<std::string>());
    return names;
}

class TelemetrySDKTest : public ::testing::Test {
protected:
    std::unique_ptr<TelemetrySDK> makeClient() {
        return std::make_unique<TelemetrySDK>(TelemetrySDK::Dependencies{http_, clock_, folder_, timer_});
    }

    // Uploads only on flush() unless a test says otherwise.
    TelemetryConfig config(std::string host = "http://127.0.0.1:9") {
        TelemetryConfig c("phc_test_key", std::move(host));
        c.flushAt = 1000;
        c.flushInterval = 1h;
        c.retryDelay = 1h;
        return c;
    }

    std::vector<std::string> allSentNames() const {
        std::vector<std::string> names;
        for (const auto& request : http_->requests())
            for (auto& n : eventNames(bodyOf(request))) names.push_back(std::move(n));
        return names;
    }

    std::shared_ptr<test::RecordingHttpClient> http_ = std::make_shared<test::RecordingHttpClient>();
    std::shared_ptr<test::FixedClock> clock_ = std::make_shared<test::FixedClock>(kNow);
    std::shared_ptr<platform::ManualMonotonicClock> timer_ = std::make_shared<platform::ManualMonotonicClock>();
    fs::path folder_ = testsupport::freshDirectory("telemetry");
};

TEST_F(TelemetrySDKTest, NothingIsRecordedBeforeSetUpOrWithoutAProjectKey) {
    auto client = makeClient();
    client->capture("early", {{"a", true}});
    client->flush();

    test::LogCapture logs;
    client->setup(TelemetryConfig("", "http://127.0.0.1:9"));
    EXPECT_EQ(logs.messages(), std::vector<std::string>{"[Telemetry] no project key: analytics off"});
    EXPECT_FALSE(client->isSetUp());
    client->capture("still off");
    client->flush();

    EXPECT_TRUE(http_->requests().empty());
    EXPECT_FALSE(fs::exists(folder_ / "queue"));
    EXPECT_EQ(client->queuedEventCount(), 0u);
    EXPECT_EQ(client->distinctId(), "");

    // A key given later still starts it; the early events stay unrecorded,
    // and with lifecycle events off nothing else is sent.
    auto c = config();
    c.captureApplicationLifecycleEvents = false;
    client->setup(c);
    client->capture("now");
    client->flush();
    EXPECT_EQ(allSentNames(), std::vector<std::string>{"now"});
}

TEST_F(TelemetrySDKTest, ASecondSetUpIsIgnored) {
    auto client = makeClient();
    client->setup(config("http://127.0.0.1:9"));
    auto other = config("http://127.0.0.1:10");
    other.apiKey = "other";
    client->setup(other);
    client->flush();
    ASSERT_EQ(http_->requests().size(), 1u);
    EXPECT_EQ(http_->requests()[0].url, "http://127.0.0.1:9/batch");
    EXPECT_EQ(bodyOf(http_->requests()[0])["api_key"], "phc_test_key");
    EXPECT_EQ(allSentNames(), (std::vector<std::string>{"Application Installed", "Application Opened"}));
}

TEST_F(TelemetrySDKTest, ABatchGoesOutAsGzipJsonWithEveryEventStampedAndPropertiesKeepingTheirKinds) {
    auto client = makeClient();
    auto hooked = config("http://127.0.0.1:9/");
    hooked.loopbackOnly = true;
    client->setup(hooked);
    client->capture("model_used", {{"model", std::string("gpt-4o")},
                                   {"is_chat", true},
                                   {"prompt_length", std::int64_t{42}},
                                   {"temperature", 0.7},
                                   {"bad_utf8", std::string("caf\xe9")}});
    client->capture("bad \xff name");
    client->flush();

    const auto requests = http_->requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& request = requests[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.url, "http://127.0.0.1:9/batch");
    EXPECT_TRUE(request.loopbackOnly);
    EXPECT_EQ(request.headers, (platform::HttpHeaders{{"Content-Type", "application/json"},
                                                      {"Content-Encoding", "gzip"}}));

    const json body = bodyOf(request);
    EXPECT_EQ(body.size(), 3u);
    EXPECT_EQ(body["api_key"], "phc_test_key");
    EXPECT_EQ(body["sent_at"], "2026-05-28T20:26:40.250Z");
    EXPECT_EQ(eventNames(body),
              (std::vector<std::string>{"Application Installed", "Application Opened", "model_used", "bad \xef\xbf\xbd name"}));

    std::set<std::string> uuids;
    const std::regex uuidShape("[0-9A-F]{8}-[0-9A-F]{4}-7[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    for (const auto& event : body["batch"]) {
        EXPECT_EQ(event.size(), 5u) << event.dump();
        EXPECT_EQ(event["distinct_id"], client->distinctId());
        EXPECT_EQ(event["timestamp"], "2026-05-28T20:26:40.250Z");
        EXPECT_TRUE(std::regex_match(event["uuid"].get<std::string>(), uuidShape)) << event["uuid"];
        uuids.insert(event["uuid"].get<std::string>());
        const auto& p = event["properties"];
        EXPECT_EQ(p["$session_id"], client->sessionId());
        EXPECT_EQ(p["$app_name"], "Quillary");
        EXPECT_TRUE(p["$app_version"].is_string() && !p["$app_version"].get<std::string>().empty());
        EXPECT_TRUE(p["$os"].is_string() && !p["$os"].get<std::string>().empty());
        EXPECT_TRUE(p["$os_version"].is_string());
    }
    EXPECT_EQ(uuids.size(), 4u);

    const auto& p = body["batch"][2]["properties"];
    EXPECT_EQ(p["model"], "gpt-4o");
    EXPECT_TRUE(p["is_chat"].is_boolean());
    EXPECT_EQ(p["is_chat"], true);
    EXPECT_TRUE(p["prompt_length"].is_number_integer());
    EXPECT_EQ(p["prompt_length"], 42);
    EXPECT_TRUE(p["temperature"].is_number_float());
    EXPECT_EQ(p["temperature"], 0.7);
    EXPECT_EQ(p["bad_utf8"], "caf\xef\xbf\xbd");

    // Sent means gone from disk.
    EXPECT_EQ(client->queuedEventCount(), 0u);
    EXPECT_TRUE(fs::is_empty(folder_ / "queue"));
}

TEST_F(TelemetrySDKTest, ARestartSendsWhatThePreviousRunLeftAndKeepsTheIdentity) {
    http_->setHandler([](const platform::HttpRequest&) -> platform::HttpResponse {
        throw platform::URLError(platform::URLError::CannotConnectToHost);
    });
    std::string firstId, firstSession;
    {
        auto client = makeClient();
        client->setup(config());
        client->capture("left_behind");
        client->flush();  // fails: host down
        EXPECT_EQ(client->queuedEventCount(), 3u);
        firstId = client->distinctId();
        firstSession = client->sessionId();
    }
    EXPECT_TRUE(fs::exists(folder_ / "telemetry.distinctId.json"));

    http_->setHandler(nullptr);
    clock_->set(kNow + 60);  // the next start, a minute later
    auto client = makeClient();
    client->setup(config());
    EXPECT_EQ(client->distinctId(), firstId);
    EXPECT_NE(client->sessionId(), firstSession);
    client->flush();
    const auto sent = http_->requests().back();
    EXPECT_EQ(eventNames(bodyOf(sent)), (std::vector<std::string>{"Application Installed", "Application Opened",
                                                                   "left_behind", "Application Opened"}));
    const json body = bodyOf(sent);
    for (const auto& e : body["batch"]) EXPECT_EQ(e["distinct_id"], firstId);
    EXPECT_EQ(client->queuedEventCount(), 0u);
}

TEST_F(TelemetrySDKTest, AFailingHostLosesNoEventAndTheNextGoodAnswerSendsThemAllOnce) {
    int calls = 0;
    http_->setHandler([&calls](const platform::HttpRequest&) -> platform::HttpResponse {
        if (++calls % 3 == 0) return platform::HttpResponse{};  // no HTTP status at all
        if (calls % 3 == 1) return test::status(500);
        throw platform::URLError(platform::URLError::TimedOut);
    });
    test::LogCapture logs;
    auto client = makeClient();
    auto c = config();
    c.maxBatchSize = 2;
    client->setup(c);
    for (int i = 0; i < 3; ++i) client->capture("e" + std::to_string(i));
    for (int i = 0; i < 3; ++i) client->flush();
    EXPECT_EQ(http_->requests().size(), 3u);
    EXPECT_EQ(client->queuedEventCount(), 5u);
    EXPECT_TRUE(logs.contains("[Telemetry] upload of 2 events failed: HTTP 500"));
    EXPECT_TRUE(logs.contains("[Telemetry] upload of 2 events failed: The request timed out."));

    http_->setHandler(nullptr);
    client->flush();
    EXPECT_EQ(client->queuedEventCount(), 0u);
    auto requests = http_->requests();
    std::vector<std::string> delivered;
    for (std::size_t i = 3; i < requests.size(); ++i)
        for (auto& n : eventNames(bodyOf(requests[i]))) delivered.push_back(n);
    EXPECT_EQ(delivered, (std::vector<std::string>{"Application Installed", "Application Opened", "e0", "e1", "e2"}));
}

TEST_F(TelemetrySDKTest, AfterAFailureTheWorkerBacksOffUntilAskedOrTheDelayPasses) {
    http_->setHandler([](const platform::HttpRequest&) { return test::status(503); });
    auto client = makeClient();
    auto c = config();
    c.flushAt = 1;  // every event would prompt an upload
    c.retryDelay = 5s;
    c.maxRetryDelay = 15s;
    const auto start = timer_->now();
    client->setup(c);
    ASSERT_TRUE(http_->waitForRequests(1));
    for (int i = 0; i < 5; ++i) client->capture("during_backoff");
    // The worker saw the new events and still waits for the end of the delay.
    ASSERT_TRUE(timer_->waitForSleeper(start + 5s));
    timer_->advance(4999ms);
    ASSERT_TRUE(timer_->waitForSleeper(start + 5s));
    EXPECT_EQ(http_->requests().size(), 1u);

    // The delay doubles after each further failure, up to its maximum.
    timer_->advance(1ms);
    ASSERT_TRUE(http_->waitForRequests(2));
    ASSERT_TRUE(timer_->waitForSleeper(start + 5s + 10s));
    timer_->advance(10s);
    ASSERT_TRUE(http_->waitForRequests(3));
    ASSERT_TRUE(timer_->waitForSleeper(start + 15s + 15s));
    EXPECT_EQ(http_->requests().size(), 3u);

    http_->setHandler(nullptr);
    client->flush();  // asked: goes now
    EXPECT_EQ(client->queuedEventCount(), 0u);
}

TEST_F(TelemetrySDKTest, UploadsStartByThemselvesAtTheBatchSizeAndAtTheInterval) {
    {
        auto client = makeClient();
        auto c = config();
        c.captureApplicationLifecycleEvents = false;
        c.flushAt = 3;
        client->setup(c);
        client->capture("1");
        client->capture("2");
        client->capture("3");
        ASSERT_TRUE(http_->waitForRequests(1));
    }
    {
        auto client = makeClient();
        auto c = config();
        c.captureApplicationLifecycleEvents = false;
        c.flushInterval = 30s;
        const auto start = timer_->now();
        client->setup(c);
        client->capture("4");
        ASSERT_TRUE(timer_->waitForSleeper(start + 30s));
        EXPECT_EQ(http_->requests().size(), 1u);
        timer_->advance(30s);
        ASSERT_TRUE(http_->waitForRequests(2));
    }
    EXPECT_EQ(allSentNames(), (std::vector<std::string>{"1", "2", "3", "4"}));
}

TEST_F(TelemetrySDKTest, AStalledHostBlocksNeitherCaptureNorShutdown) {
    http_->setHandler([](const platform::HttpRequest& request) -> platform::HttpResponse {
        while (!request.cancellation->isCancelled()) std::this_thread::sleep_for(1ms);
        throw platform::URLError(platform::URLError::Cancelled);
    });
    auto client = makeClient();
    auto c = config();
    c.flushAt = 1;
    client->setup(c);
    ASSERT_TRUE(http_->waitForRequests(1));  // the worker now hangs on the host
    for (int i = 0; i < 20; ++i) client->capture("while_stalled");
    EXPECT_EQ(client->queuedEventCount(), 22u);
    client.reset();  // returns only because the upload is cancelled

    auto again = makeClient();
    again->setup(config());
    EXPECT_EQ(again->queuedEventCount(), 23u);
}

TEST_F(TelemetrySDKTest, CapturesFromManyThreadsAreEachDeliveredExactlyOnce) {
    auto client = makeClient();
    auto c = config();
    c.flushAt = 10;
    c.maxBatchSize = 7;
    c.flushInterval = 5ms;
    client->setup(c);
    constexpr int kThreads = 8, kEach = 40;
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                for (int i = 0; i < kEach; ++i)
                    client->capture("t", {{"thread", std::int64_t{t}}, {"i", std::int64_t{i}}});
            });
    }
    client->flush();
    EXPECT_EQ(client->queuedEventCount(), 0u);

    std::set<std::string> uuids;
    std::set<std::pair<std::int64_t, std::int64_t>> seen;
    std::size_t total = 0;
    for (const auto& request : http_->requests()) {
        const json body = bodyOf(request);
        for (const auto& e : body["batch"]) {
            ++total;
            uuids.insert(e["uuid"].get<std::string>());
            if (e["event"] == "t") seen.emplace(e["properties"]["thread"], e["properties"]["i"]);
        }
    }
    EXPECT_EQ(total, kThreads * kEach + 2u);
    EXPECT_EQ(uuids.size(), total);
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kThreads * kEach));
}

TEST_F(TelemetrySDKTest, AnUnwritableFolderNeverMakesCaptureThrow) {
    std::ofstream(folder_ / "blocker") << "x";
    test::LogCapture logs;
    TelemetrySDK client({http_, clock_, folder_ / "blocker" / "telemetry", timer_});
    EXPECT_NO_THROW(client.setup(config()));
    EXPECT_NO_THROW(client.capture("lost", {{"k", std::string("v")}}));
    EXPECT_TRUE(logs.contains("[Telemetry] cannot store"));
}

TEST(TelemetrySharedTest, EveryThreadGetsTheInstalledClientWhichStartsOffAndIsInertAfterTheUninstall) {
    const platform::LibraryDefaults::Permit defaultsTested;
    TelemetrySDK& libraryDefault = TelemetrySDK::shared();
    EXPECT_FALSE(libraryDefault.isSetUp());
    TelemetrySDK::install(std::make_shared<TelemetrySDK>(
        TelemetrySDK::Dependencies{std::make_shared<platform::FakeHttpClient>(), platform::Clock::system(), {}}));
    constexpr int kThreads = 16;
    std::latch start(kThreads);
    std::vector<TelemetrySDK*> seen(kThreads);
    {
        std::vector<std::jthread> threads;
        for (int i = 0; i < kThreads; ++i)
            threads.emplace_back([&, i] {
                start.arrive_and_wait();
                seen[static_cast<std::size_t>(i)] = &TelemetrySDK::shared();
            });
    }
    for (auto* p : seen) EXPECT_EQ(p, seen[0]);
    EXPECT_NE(seen[0], &libraryDefault);
    EXPECT_EQ(TelemetrySDK::sharedPointer().get(), seen[0]);
    std::shared_ptr<platform::AnalyticsSink> sink = TelemetrySDK::sharedPointer();
    EXPECT_EQ(sink.get(), static_cast<platform::AnalyticsSink*>(seen[0]));

    auto& shared = TelemetrySDK::shared();
    EXPECT_FALSE(shared.isSetUp());
    EXPECT_EQ(shared.folder(), testsupport::tempHome() / "data" / "quillary" / "telemetry");
    shared.capture("ignored");
    shared.setup(TelemetryConfig("", ""));  // the built-in key is empty
    EXPECT_FALSE(shared.isSetUp());
    EXPECT_FALSE(fs::exists(shared.folder()));

    const std::weak_ptr<TelemetrySDK> installed = TelemetrySDK::sharedPointer();
    sink.reset();
    TelemetrySDK::install(nullptr);
    EXPECT_TRUE(installed.expired());
    // No default again after an uninstall: an inert client that drops.
    const auto defaultsMade = platform::LibraryDefaults::made().size();
    EXPECT_NE(&TelemetrySDK::shared(), &libraryDefault);
    EXPECT_FALSE(TelemetrySDK::shared().isSetUp());
    EXPECT_EQ(platform::LibraryDefaults::made().size(), defaultsMade);
}

}  // namespace
}  // namespace telemetry
