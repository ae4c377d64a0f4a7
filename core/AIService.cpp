#include "core/AIService.h"

#include <algorithm>

#include "core/JsonError.h"
#include "core/ProviderError.h"
#include "core/ProviderWire.h"
#include "platform/Required.h"
#include "platform/Unicode.h"
#include "core/RequestBody.h"

namespace core {
namespace {

constexpr const char* kOpenAIDomain = "OpenAI";
constexpr const char* kClaudeDomain = "Claude";

// OpenAI's reasoning models ("o1", "o3-mini" ...) take "max_completion_tokens"
// and refuse any temperature but their own; "gpt-4o" is not one of them.
bool isReasoningModel(std::string_view model) { return model.starts_with('o'); }

// The provider's own explanation of a refused request: {"error": {"message"}}.
std::string errorMessage(std::string_view body) {
    try {
        const auto json = parseReplyJson(body);
        if (json.is_object()) {
            const auto error = json.find("error");
            if (error != json.end() && error->is_object()) {
                const auto message = error->find("message");
                if (message != error->end() && message->is_string()) return message->get<std::string>();
            }
        }
    } catch (const JsonError&) {
    }
    return "Unknown error";
}

// First element of the array at `key`, which must be a non-empty array of
// objects only.
const nlohmann::json* firstObject(const nlohmann::json& json, const char* key) {
    if (!json.is_object()) return nullptr;
    const auto array = json.find(key);
    if (array == json.end() || !array->is_array() || array->empty()) return nullptr;
    const auto isObject = [](const nlohmann::json& element) { return element.is_object(); };
    if (!std::all_of(array->begin(), array->end(), isObject)) return nullptr;
    return &array->front();
}

const std::string* stringMember(const nlohmann::json* object, const char* key) {
    if (!object || !object->is_object()) return nullptr;
    const auto member = object->find(key);
    if (member == object->end() || !member->is_string()) return nullptr;
    return &member->get_ref<const std::string&>();
}

// Status and shape checks shared by both providers; `findText` locates the
// answer in a 200 reply.
template <typename FindText>
std::string readAnswer(const platform::HttpResponse& response, const char* domain, FindText findText) {
    if (!response.status) throw ProviderError("AI", -1, "Invalid response");
    if (*response.status != 200) throw ProviderError(domain, *response.status, errorMessage(response.body));
    const auto json = parseReplyJson(response.body);
    const std::string* text = findText(json);
    if (!text) throw ProviderError(domain, -1, "Invalid response format");
    return platform::unicode::trimWhitespaceAndNewlines(*text);
}

}  // namespace

AIService::AIService(RequestSettings settings, std::shared_ptr<platform::HttpClient> http)
    : AIService(std::move(settings), std::move(http), Endpoints{}) {}

AIService::AIService(RequestSettings settings, std::shared_ptr<platform::HttpClient> http, Endpoints endpoints)
    : settings_(std::move(settings)),
      http_(platform::required(std::move(http), "AIService: the HTTP client")),
      endpoints_(std::move(endpoints)),
      ollamaService_(std::make_unique<OllamaService>(http_, endpoints_.ollama)),
      geminiService_(std::make_unique<GeminiService>(settings_.geminiKey, http_, endpoints_.gemini,
                                                     endpoints_.geminiLoopbackOnly)) {}

std::string AIService::sendMessage(const ModelInfo& model, std::string_view prompt,
                                   const std::optional<std::string>& selectedText,
                                   const std::vector<ChatMessage>& history) const {
    switch (providerFor(settings_.modelGroups, model.displayName)) {
        case Provider::openai: return sendOpenAIRequest(model.apiName, prompt, selectedText, history);
        case Provider::anthropic: return sendClaudeRequest(model.apiName, prompt, selectedText, history);
        case Provider::gemini:
            return geminiService_->generate(model.apiName, prompt, selectedText,
                                            history.empty() ? std::nullopt : std::optional(history));
        case Provider::ollama: break;
    }
    return ollamaService_->sendMessage(model.apiName, prompt, selectedText, history, &settings_);
}

AIService::Provider AIService::providerFor(const std::vector<ModelGroup>& groups, std::string_view displayName) {
    const auto holds = [&](const ModelGroup& group) {
        return std::any_of(group.models.begin(), group.models.end(),
                           [&](const ModelInfo& model) { return model.displayName == displayName; });
    };
    const auto ollama =
        std::find_if(groups.begin(), groups.end(), [](const ModelGroup& group) { return group.name == "Ollama"; });
    if (ollama != groups.end() && holds(*ollama)) return Provider::ollama;
    const auto group = std::find_if(groups.begin(), groups.end(), holds);
    if (group == groups.end()) return Provider::ollama;
    for (const auto provider : {Provider::openai, Provider::anthropic, Provider::gemini})
        if (group->name == providerName(provider)) return provider;
    return Provider::ollama;
}

std::string_view AIService::providerName(Provider provider) {
    switch (provider) {
        case Provider::openai: return "OpenAI";
        case Provider::anthropic: return "Anthropic";
        case Provider::gemini: return "Gemini";
        case Provider::ollama: break;
    }
    return "Ollama";
}

nlohmann::json AIService::openAIRequestBody(const std::string& model, std::string_view prompt,
                                            const std::optional<std::string>& selectedText,
                                            const std::vector<ChatMessage>& history, const RequestSettings& settings) {
    auto body = makeRequestBody(prompt, selectedText, history, &settings);
    body["model"] = model;
    if (isReasoningModel(model)) {
        body["max_completion_tokens"] = std::move(body["max_tokens"]);
        body.erase("max_tokens");
        body.erase("temperature");
    }
    return body;
}

nlohmann::json AIService::claudeRequestBody(const std::string& model, std::string_view prompt,
                                            const std::optional<std::string>& selectedText,
                                            const std::vector<ChatMessage>& history, const RequestSettings& settings) {
    // The Messages API refuses a "system" role among the messages: the system
    // prompt, and any system messages of the chat in their order, go into the
    // top-level "system" text instead.
    auto messages = buildMessages(prompt, selectedText, history, &settings);
    std::string system;
    std::vector<RequestMessage> turns;
    turns.reserve(messages.size());
    for (auto& message : messages) {
        if (message.role == "system") {
            if (!system.empty()) system += "\n\n";
            system += message.content;
        } else {
            turns.push_back(std::move(message));
        }
    }
    return nlohmann::json{{"model", model},
                          {"temperature", settings.temperature},
                          {"max_tokens", settings.maxTokens},
                          {"system", std::move(system)},
                          {"messages", toJson(std::move(turns))}};
}

std::string AIService::parseOpenAIReply(const platform::HttpResponse& response) {
    return readAnswer(response, kOpenAIDomain, [](const nlohmann::json& json) {
        const auto* choice = firstObject(json, "choices");
        if (!choice) return static_cast<const std::string*>(nullptr);
        const auto message = choice->find("message");
        return message == choice->end() ? nullptr : stringMember(&*message, "content");
    });
}

std::string AIService::parseClaudeReply(const platform::HttpResponse& response) {
    return readAnswer(response, kClaudeDomain,
                      [](const nlohmann::json& json) { return stringMember(firstObject(json, "content"), "text"); });
}

platform::HttpResponse AIService::post(const std::string& url, bool loopbackOnly, platform::HttpHeaders headers,
                                       const nlohmann::json& body) const {
    platform::HttpRequest request;
    request.method = "POST";
    request.url = url;
    request.headers = std::move(headers);
    request.body = dumpRequestJson(body);
    request.timeout = endpoints_.timeout;
    request.loopbackOnly = loopbackOnly;
    return http_->send(request);
}

std::string AIService::sendOpenAIRequest(const std::string& model, std::string_view prompt,
                                         const std::optional<std::string>& selectedText,
                                         const std::vector<ChatMessage>& history) const {
    const auto response = post(
        endpoints_.openai, endpoints_.openaiLoopbackOnly,
        {{"Authorization", "Bearer " + settings_.openaiKey}, {"Content-Type", "application/json"}},
        openAIRequestBody(model, prompt, selectedText, history, settings_));
    return parseOpenAIReply(response);
}

std::string AIService::sendClaudeRequest(const std::string& model, std::string_view prompt,
                                         const std::optional<std::string>& selectedText,
                                         const std::vector<ChatMessage>& history) const {
    const auto response = post(endpoints_.claude, endpoints_.claudeLoopbackOnly,
                               {{"x-api-key", settings_.claudeKey},
                                {"anthropic-api-key", settings_.claudeKey},
                                {"anthropic-version", "2023-06-01"},
                                {"Content-Type", "application/json"}},
                               claudeRequestBody(model, prompt, selectedText, history, settings_));
    return parseClaudeReply(response);
}

}  // namespace core
