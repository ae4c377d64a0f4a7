#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "Telemetry/TelemetrySDK.h"
#include "TelemetryTestSupport.h"
#include "platform/HttpTransportModule.h"
#include "testsupport/LoopbackServer.h"
#include "testsupport/TempHome.h"

namespace telemetry {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;
using testsupport::LoopbackServer;

// The server library inflates gzip request bodies itself (it reads the
// Content-Encoding header); a body that still starts with the gzip magic is
// inflated here, so either way a standard gzip reader is what decodes it.
json uploadedBody(const LoopbackServer::Request& request) {
    const bool stillPacked = request.body.size() >= 2 && static_cast<unsigned char>(request.body[0]) == 0x1f &&
                             static_cast<unsigned char>(request.body[1]) == 0x8b;
    return json::parse(stillPacked ? test::gunzip(request.body) : request.body);
}

std::vector<std::string> eventNames(const json& body) {
    std::vector<std::string> names;
    for (const auto& e : body.at("batch")) names.push_back(e.at("event").get<std::string>());
    return names;
}

class TelemetryNetTest : public ::testing::Test {
protected:
    // Uploads only on flush() unless `flushAt` says otherwise.
    std::unique_ptr<TelemetrySDK> startClient(const std::string& host, std::chrono::milliseconds timeout = 5s,
                                              std::size_t flushAt = 1000) {
        auto client = std::make_unique<TelemetrySDK>(
            TelemetrySDK::Dependencies{platform::HttpTransportModule::deferredClient(), nullptr, folder_});
        TelemetryConfig config("phc_net_key", host);
        config.flushAt = flushAt;
        config.flushInterval = 1h;
        config.retryDelay = 1h;
        config.requestTimeout = timeout;
        client->setup(config);
        return client;
    }

    std::filesystem::path folder_ = testsupport::freshDirectory("telemetry-net");
};

TEST_F(TelemetryNetTest, TheHostReceivesAGzipJsonBatchAtSlashBatch) {
    LoopbackServer server;
    server.reply("POST", "/batch", {200, {}, R"({"status":1})"});
    auto client = startClient(server.url("/"));
    client->capture("model_used", {{"model", std::string("llama3")}, {"is_chat", false}, {"n", std::int64_t{3}}});
    client->flush();

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].path, "/batch");
    EXPECT_EQ(requests[0].header("Content-Encoding"), "gzip");
    EXPECT_EQ(requests[0].header("Content-Type"), "application/json");
    const json body = uploadedBody(requests[0]);
    EXPECT_EQ(body["api_key"], "phc_net_key");
    EXPECT_TRUE(body["sent_at"].is_string());
    EXPECT_EQ(eventNames(body), (std::vector<std::string>{"Application Installed", "Application Opened", "model_used"}));
    const auto& p = body["batch"][2]["properties"];
    EXPECT_EQ(p["is_chat"], false);
    EXPECT_EQ(p["n"], 3);
    EXPECT_EQ(client->queuedEventCount(), 0u);
}

TEST_F(TelemetryNetTest, A500KeepsTheEventsUntilTheHostRecovers) {
    LoopbackServer server;
    server.reply("POST", "/batch", {500, {}, "overloaded"});
    auto client = startClient(server.url());
    client->capture("kept");
    client->flush();
    EXPECT_EQ(client->queuedEventCount(), 3u);

    server.reply("POST", "/batch", {200, {}, "{}"});
    client->flush();
    EXPECT_EQ(client->queuedEventCount(), 0u);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(uploadedBody(requests[0])["batch"], uploadedBody(requests[1])["batch"]);
    EXPECT_EQ(eventNames(uploadedBody(requests[1])),
              (std::vector<std::string>{"Application Installed", "Application Opened", "kept"}));
}

TEST_F(TelemetryNetTest, EventsCapturedWhileTheHostIsDownGoOutOnceItIsBack) {
    {
        LoopbackServer placeholder;  // only reserves a port where nothing listens
        auto client = startClient(placeholder.refusedUrl());
        client->capture("offline");
        client->flush();
        EXPECT_EQ(client->queuedEventCount(), 3u);
    }
    LoopbackServer server;
    server.reply("POST", "/batch", {200, {}, "{}"});
    auto client = startClient(server.url());
    client->flush();
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(eventNames(uploadedBody(server.requests()[0])),
              (std::vector<std::string>{"Application Installed", "Application Opened", "offline", "Application Opened"}));
    EXPECT_EQ(client->queuedEventCount(), 0u);
}

TEST_F(TelemetryNetTest, ASlowHostTimesOutAndAStalledOneDoesNotHoldUpShutdown) {
    LoopbackServer server;
    server.stall("POST", "/batch");
    {
        auto client = startClient(server.url(), 200ms);
        client->capture("slow");
        client->flush();  // the idle limit ends the attempt
        EXPECT_EQ(client->queuedEventCount(), 3u);
    }
    {
        auto client = startClient(server.url(), 1h, /*flushAt=*/1);  // uploads by itself
        ASSERT_TRUE(server.waitForRequests(2));
        client->capture("while_stalled");  // returns although the upload hangs
        EXPECT_EQ(client->queuedEventCount(), 5u);
    }  // and shutdown cancels it instead of waiting out the hour

    LoopbackServer recovered;
    recovered.reply("POST", "/batch", {204, {}, ""});
    auto client = startClient(recovered.url());
    client->flush();
    EXPECT_EQ(client->queuedEventCount(), 0u);
    ASSERT_EQ(recovered.requests().size(), 1u);
    EXPECT_EQ(uploadedBody(recovered.requests()[0])["batch"].size(), 6u);
}

}  // namespace
}  // namespace telemetry
