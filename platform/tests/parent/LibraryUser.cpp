// A program that uses the assistant core on its own, built beside the
// libraries in a build folder that is not theirs: a provider made on the
// shared HTTP client answers from a server on the loopback interface.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>

#include "core/AIService.h"
#include "platform/HttpClient.h"
#include "testsupport/LoopbackServer.h"
#include "testsupport/TempHome.h"

namespace {

int ask() {
    testsupport::LoopbackServer server;
    server.reply("POST", "/v1/chat/completions",
                 {200,
                  {{"Content-Type", "application/json"}},
                  R"({"choices":[{"index":0,"message":{"role":"assistant","content":"Hello from next door"},)"
                  R"("finish_reason":"stop"}]})"});
    core::RequestSettings settings;
    settings.openaiKey = "sk-beside";
    core::AIService::Endpoints endpoints;
    endpoints.openai = server.url("/v1/chat/completions");
    const core::AIService service(settings, platform::HttpClient::shared(), endpoints);
    const auto answer = service.sendOpenAIRequest("gpt-4o", "Hello", std::nullopt);
    if (answer != "Hello from next door") {
        std::fprintf(stderr, "unexpected answer: %s\n", answer.c_str());
        return 1;
    }
    std::printf("answered through the shared HTTP client\n");
    return 0;
}

void removeHome() {
    std::error_code ignored;
    std::filesystem::remove_all(testsupport::tempHome(), ignored);
}

}  // namespace

int main() {
    (void)testsupport::tempHome();
    // Before any default is made, so that it runs after their exit step.
    std::atexit(&removeHome);
    try {
        return ask();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "no answer: %s\n", error.what());
        return 1;
    }
}
