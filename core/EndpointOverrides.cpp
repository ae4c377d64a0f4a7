#include "core/EndpointOverrides.h"

#include <charconv>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Logger.h"
#include "platform/LoopbackUrl.h"

namespace core {
namespace {

const platform::Logger& log() {
    static const platform::Logger logger("Quillary", "providers");
    return logger;
}

// The server a variable names, without a trailing slash; none when it is
// unset, empty or not on this machine.
std::optional<std::string> loopbackServer(const EnvironmentLookup& lookup, const char* variable) {
    const char* value = lookup(variable);
    if (!value || !*value) return std::nullopt;
    if (!platform::isLoopbackUrl(value)) {
        log().error(std::string(variable) + " ignored: " + platform::outsideText(value) +
                    " is not an address on this machine");
        return std::nullopt;
    }
    std::string server(value);
    while (!server.empty() && server.back() == '/') server.pop_back();
    log().info(std::string(variable) + ": requests go to " + platform::outsideText(server));
    return server;
}

std::optional<std::chrono::milliseconds> timeoutOverride(const EnvironmentLookup& lookup) {
    const char* value = lookup("QUILLARY_PROVIDER_TIMEOUT_MS");
    if (!value || !*value) return std::nullopt;
    const std::string_view text(value);
    long long milliseconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), milliseconds);
    if (error != std::errc() || end != text.data() + text.size() || milliseconds <= 0) {
        log().error(std::string("QUILLARY_PROVIDER_TIMEOUT_MS ignored: ") + platform::outsideText(value) +
                    " is not a positive whole number");
        return std::nullopt;
    }
    return std::chrono::milliseconds(milliseconds);
}

}  // namespace

AIServiceEndpoints endpointsFromEnvironment(const EnvironmentLookup& lookup) {
    AIServiceEndpoints endpoints;
    const auto timeout = timeoutOverride(lookup);
    bool chatRedirected = false;
    if (const auto server = loopbackServer(lookup, "QUILLARY_OPENAI_URL")) {
        endpoints.openai = *server + "/v1/chat/completions";
        endpoints.openaiLoopbackOnly = chatRedirected = true;
    }
    if (const auto server = loopbackServer(lookup, "QUILLARY_ANTHROPIC_URL")) {
        endpoints.claude = *server + "/v1/messages";
        endpoints.claudeLoopbackOnly = chatRedirected = true;
    }
    if (chatRedirected && timeout) endpoints.timeout = *timeout;
    if (const auto server = loopbackServer(lookup, "QUILLARY_GEMINI_URL")) {
        endpoints.gemini = *server;
        endpoints.geminiLoopbackOnly = true;
    }
    if (const auto server = loopbackServer(lookup, "QUILLARY_OLLAMA_URL")) {
        endpoints.ollama.chat = *server + "/api/chat";
        endpoints.ollama.probe = *server + "/api/version";
        endpoints.ollama.loopbackOnly = true;
        if (timeout) endpoints.ollama.timeout = *timeout;
    }
    return endpoints;
}

}  // namespace core
