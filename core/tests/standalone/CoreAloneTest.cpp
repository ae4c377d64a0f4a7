// The assistant core used as a program of its own would use it: nothing
// installed, so its objects take the standard settings store and the shared
// HTTP client (found in the build tree, though this program is not told
// where its module is), and analytics reach the shared telemetry client.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "Telemetry/TelemetrySDK.h"
#include "core/AIService.h"
#include "core/Analytics.h"
#include "core/HistoryService.h"
#include "core/OllamaService.h"
#include "core/Settings.h"
#include "core/tests/net/Fixtures.h"
#include "platform/UserDefaults.h"
#include "testsupport/LoopbackServer.h"
#include "testsupport/TestData.h"

namespace {

TEST(CoreAlone, SettingsAndHistoryAreKeptInTheSettingsFileOfTheUser) {
    core::Settings settings;
    settings.setOpenaiKey("sk-alone");
    core::HistoryService history;
    history.addEntry("gpt-4o", "fix this", std::nullopt, "fixed", "Editor");
    ASSERT_TRUE(platform::UserDefaults::standard()->flush());

    const auto file = std::filesystem::path(std::getenv("XDG_CONFIG_HOME")) / "quillary" / "defaults.json";
    const auto stored = nlohmann::json::parse(testsupport::readFile(file));
    EXPECT_EQ(stored.value("openai_api_key", ""), "sk-alone");
    EXPECT_TRUE(stored.contains("quillary_history"));
}

TEST(CoreAlone, ProvidersMadeWithoutATransportAnswer) {
    testsupport::LoopbackServer server;
    server.reply("POST", "/v1/chat/completions",
                 {200, {{"Content-Type", "application/json"}}, core::testdata::fixture("openai-chat-200.json")});
    core::RequestSettings settings;
    settings.openaiKey = "sk-alone";
    const core::AIService onTheirOwnEndpoints(settings);
    const core::OllamaService ollama;
    core::AIService::Endpoints endpoints;
    endpoints.openai = server.url("/v1/chat/completions");
    const core::AIService service(settings, platform::HttpClient::shared(), endpoints);
    EXPECT_EQ(service.sendOpenAIRequest("gpt-4o", "Hello", std::nullopt), "Hello! How can I assist you today?");
}

TEST(CoreAlone, AnalyticsReachTheSharedTelemetryClientOnceItIsSetUp) {
    testsupport::LoopbackServer server;  // never asked: no upload falls due
    telemetry::TelemetryConfig config("phc_alone", server.url(""));
    config.captureApplicationLifecycleEvents = false;
    config.flushAt = 1000;
    config.flushInterval = std::chrono::hours(1);
    telemetry::TelemetrySDK::shared().setup(config);
    core::Analytics::shared().trackError("alone", "reached the queue");
    EXPECT_EQ(telemetry::TelemetrySDK::shared().queuedEventCount(), 1u);
}

}  // namespace
