#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/ChatMessage.h"
#include "core/RequestSettings.h"
#include "platform/HttpClient.h"

namespace core {

struct OllamaEndpoints {
    std::string chat = "http://127.0.0.1:11434/api/chat";
    // A fixed address of its own, not derived from `chat`.
    std::string probe = "http://127.0.0.1:11434/api/version";
    std::chrono::milliseconds timeout{60'000};  // each of the two requests
    bool loopbackOnly = false;                  // set by a test hook
};

// Answers a prompt with an Ollama server on this machine. No key is involved;
// before each chat request the server is asked whether it is up at all, so
// the user gets "not running" rather than a transport error.
class OllamaService {
public:
    using Endpoints = OllamaEndpoints;

    explicit OllamaService(std::shared_ptr<platform::HttpClient> http = platform::HttpClient::shared(),
                           Endpoints endpoints = {});
    virtual ~OllamaService() = default;

    // True only when the probe gets an HTTP 200; never throws.
    virtual bool isRunning() const;

    // The trimmed answer. Throws ProviderError (domain "Ollama"), JsonError
    // for a 200 whose body is not JSON, or the transport's URLError for
    // failures other than a refused or lost connection (a time-out, say).
    // `settings` may be null: the body then carries the default temperature
    // and token limit and no custom instructions.
    virtual std::string sendMessage(const std::string& model, std::string_view prompt,
                                    const std::optional<std::string>& selectedText,
                                    const std::vector<ChatMessage>& history, const RequestSettings* settings) const;

    const std::string& baseURL() const { return endpoints_.chat; }

    static nlohmann::json requestBody(const std::string& model, std::string_view prompt,
                                      const std::optional<std::string>& selectedText,
                                      const std::vector<ChatMessage>& history, const RequestSettings* settings);
    // The answer of a chat reply, or the error it stands for.
    static std::string parseReply(const std::string& model, const platform::HttpResponse& response);

private:
    std::shared_ptr<platform::HttpClient> http_;
    Endpoints endpoints_;
};

}  // namespace core
