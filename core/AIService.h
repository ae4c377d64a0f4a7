#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/ChatMessage.h"
#include "core/GeminiService.h"
#include "core/ModelInfo.h"
#include "core/OllamaService.h"
#include "core/RequestSettings.h"
#include "platform/HttpClient.h"

namespace core {

// Where the providers are reached and how long a request may stay idle. The
// program uses the defaults; tests point them at their own servers.
struct AIServiceEndpoints {
    std::string openai = "https://api.openai.com/v1/chat/completions";
    std::string claude = "https://api.anthropic.com/v1/messages";
    std::chrono::milliseconds timeout{60'000};  // OpenAI and Anthropic
    OllamaEndpoints ollama;
    std::string gemini = "https://generativelanguage.googleapis.com";
    // Set for the endpoints a test hook named: their requests go only to
    // this machine (HttpRequest::loopbackOnly).
    bool openaiLoopbackOnly = false;
    bool claudeLoopbackOnly = false;
    bool geminiLoopbackOnly = false;
};

// Turns one submission into one answer. The panel makes a new one for every
// submission from a copy of the settings taken on its own thread, and calls it
// on a worker: nothing here changes after construction.
class AIService {
public:
    using Endpoints = AIServiceEndpoints;

    enum class Provider { openai, anthropic, gemini, ollama };

    AIService(RequestSettings settings, std::shared_ptr<platform::HttpClient> http, Endpoints endpoints);
    // The providers' own endpoints. Made out of line: g++ 12 at -O3 takes the
    // inlined default endpoints for uninitialised strings.
    explicit AIService(RequestSettings settings,
                       std::shared_ptr<platform::HttpClient> http = platform::HttpClient::shared());
    virtual ~AIService() = default;

    // Answers the prompt with the provider of the group that holds `model`
    // (see providerFor), passing its API name and the other arguments on.
    // Throws that provider's error unchanged.
    virtual std::string sendMessage(const ModelInfo& model, std::string_view prompt,
                                    const std::optional<std::string>& selectedText,
                                    const std::vector<ChatMessage>& history = {}) const;

    // OpenAI chat completions with the model's API name; the trimmed answer.
    // Throws ProviderError (domain "OpenAI", or "AI" when the reply is not
    // HTTP), JsonError for a 200 whose body is not JSON, and the transport's
    // URLError unchanged.
    virtual std::string sendOpenAIRequest(const std::string& model, std::string_view prompt,
                                          const std::optional<std::string>& selectedText,
                                          const std::vector<ChatMessage>& history = {}) const;
    // Anthropic messages; as above with the domain "Claude".
    virtual std::string sendClaudeRequest(const std::string& model, std::string_view prompt,
                                          const std::optional<std::string>& selectedText,
                                          const std::vector<ChatMessage>& history = {}) const;

    // The provider that answers the model with this display name: an
    // "Ollama" group holding it wins, then the first group holding it decides
    // by its name; a model no group holds, or a group of another name, goes
    // to the local Ollama server. Visibility plays no part.
    static Provider providerFor(const std::vector<ModelGroup>& groups, std::string_view displayName);
    // The name of the catalogue's group for a provider ("OpenAI", "Anthropic",
    // "Gemini", "Ollama"), as people see it.
    static std::string_view providerName(Provider provider);

    const RequestSettings& settings() const { return settings_; }
    const OllamaService& ollamaService() const { return *ollamaService_; }
    const GeminiService& geminiService() const { return *geminiService_; }

    // The request bodies as they go on the wire, and the readers of the
    // replies; public for the tests and the benchmarks.
    static nlohmann::json openAIRequestBody(const std::string& model, std::string_view prompt,
                                            const std::optional<std::string>& selectedText,
                                            const std::vector<ChatMessage>& history, const RequestSettings& settings);
    static nlohmann::json claudeRequestBody(const std::string& model, std::string_view prompt,
                                            const std::optional<std::string>& selectedText,
                                            const std::vector<ChatMessage>& history, const RequestSettings& settings);
    static std::string parseOpenAIReply(const platform::HttpResponse& response);
    static std::string parseClaudeReply(const platform::HttpResponse& response);

private:
    platform::HttpResponse post(const std::string& url, bool loopbackOnly, platform::HttpHeaders headers,
                                const nlohmann::json& body) const;

    RequestSettings settings_;
    std::shared_ptr<platform::HttpClient> http_;
    Endpoints endpoints_;
    std::unique_ptr<OllamaService> ollamaService_;
    std::unique_ptr<GeminiService> geminiService_;
};

}  // namespace core
