#include "core/OllamaService.h"

#include "core/JsonError.h"
#include "core/ProviderError.h"
#include "core/ProviderWire.h"
#include "platform/Required.h"
#include "platform/Unicode.h"
#include "core/RequestBody.h"

namespace core {
namespace {

constexpr const char* kDomain = "Ollama";

ProviderError ollamaError(long code, std::string description) {
    return ProviderError(kDomain, code, std::move(description));
}

std::string errorMessage(std::string_view body) {
    try {
        const auto json = parseReplyJson(body);
        if (json.is_object()) {
            const auto error = json.find("error");
            if (error != json.end() && error->is_string()) return error->get<std::string>();
        }
    } catch (const JsonError&) {
    }
    return "Unknown error";
}

}  // namespace

OllamaService::OllamaService(std::shared_ptr<platform::HttpClient> http, Endpoints endpoints)
    : http_(platform::required(std::move(http), "OllamaService: the HTTP client")), endpoints_(std::move(endpoints)) {}

bool OllamaService::isRunning() const {
    platform::HttpRequest request;
    request.method = "GET";
    request.url = endpoints_.probe;
    request.timeout = endpoints_.timeout;
    request.loopbackOnly = endpoints_.loopbackOnly;
    try {
        return http_->send(request).status == 200;
    } catch (const std::exception&) {
        // Whatever went wrong, the answer is the same: not running.
        return false;
    }
}

nlohmann::json OllamaService::requestBody(const std::string& model, std::string_view prompt,
                                          const std::optional<std::string>& selectedText,
                                          const std::vector<ChatMessage>& history, const RequestSettings* settings) {
    auto body = makeRequestBody(prompt, selectedText, history, settings);
    body["model"] = model;
    body["stream"] = false;
    return body;
}

std::string OllamaService::parseReply(const std::string& model, const platform::HttpResponse& response) {
    if (!response.status) throw ollamaError(-1, "Invalid response");
    const int status = *response.status;
    if (status == 404)
        throw ollamaError(404, "Model '" + model + "' not found. Please run 'ollama pull " + model + "' first.");
    if (status != 200) throw ollamaError(status, errorMessage(response.body));

    const auto json = parseReplyJson(response.body);
    if (json.is_object()) {
        const auto message = json.find("message");
        if (message != json.end() && message->is_object()) {
            const auto content = message->find("content");
            if (content != message->end() && content->is_string())
                return platform::unicode::trimWhitespaceAndNewlines(content->get_ref<const std::string&>());
        }
    }
    throw ollamaError(-1, "Invalid response format");
}

std::string OllamaService::sendMessage(const std::string& model, std::string_view prompt,
                                       const std::optional<std::string>& selectedText,
                                       const std::vector<ChatMessage>& history, const RequestSettings* settings) const {
    if (!isRunning()) throw ollamaError(-1, "Ollama is not running. Please start Ollama and try again.");

    platform::HttpRequest request;
    request.method = "POST";
    request.url = endpoints_.chat;
    request.timeout = endpoints_.timeout;
    request.loopbackOnly = endpoints_.loopbackOnly;
    request.headers = {{"Content-Type", "application/json"}};
    request.body = dumpRequestJson(requestBody(model, prompt, selectedText, history, settings));

    try {
        return parseReply(model, http_->send(request));
    } catch (const platform::Error& e) {
        // The server went away between the probe and the answer.
        if (e.domain() == platform::URLError::kDomain && (e.code() == platform::URLError::CannotConnectToHost ||
                                                          e.code() == platform::URLError::NetworkConnectionLost))
            throw ollamaError(-1, "Could not connect to Ollama. Please make sure it's running.");
        throw;
    }
}

}  // namespace core
