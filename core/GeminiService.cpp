#include "core/GeminiService.h"

#include "core/ProviderError.h"
#include "core/RequestBody.h"
#include "gemini/GenerativeModel.h"
#include "platform/Required.h"
#include "platform/Unicode.h"

namespace core {
namespace {

// "user" -> "User", as the history blocks label their speaker.
std::string roleLabel(MessageRole role) {
    std::string label(rawValue(role));
    if (!label.empty() && label[0] >= 'a' && label[0] <= 'z') label[0] = static_cast<char>(label[0] - 'a' + 'A');
    return label;
}

// Passes requests on, each marked for this machine only: the Gemini client
// builds its requests itself and knows nothing of test hooks.
class LoopbackOnlyClient final : public platform::HttpClient {
public:
    explicit LoopbackOnlyClient(std::shared_ptr<platform::HttpClient> http) : http_(std::move(http)) {}
    platform::HttpResponse send(const platform::HttpRequest& request) override { return http_->send(marked(request)); }
    std::unique_ptr<platform::HttpStream> open(const platform::HttpRequest& request) override {
        return http_->open(marked(request));
    }

private:
    static platform::HttpRequest marked(platform::HttpRequest request) {
        request.loopbackOnly = true;
        return request;
    }
    std::shared_ptr<platform::HttpClient> http_;
};

}  // namespace

GeminiService::GeminiService(std::string apiKey, std::shared_ptr<platform::HttpClient> http, std::string baseURL,
                             bool loopbackOnly)
    : apiKey_(std::move(apiKey)),
      http_(platform::required(std::move(http), "GeminiService: the HTTP client")),
      baseURL_(std::move(baseURL)) {
    if (loopbackOnly) http_ = std::make_shared<LoopbackOnlyClient>(std::move(http_));
}

std::string GeminiService::promptText(std::string_view prompt, const std::optional<std::string>& selectedText,
                                      const std::optional<std::vector<ChatMessage>>& history) {
    std::string text(baseSystemPrompt);
    if (selectedText) text += selectionParagraph(*selectedText);
    if (history) {
        for (const auto& message : *history) {
            text += "\n\n";
            text += roleLabel(message.role);
            text += ": ";
            text += message.content;
        }
    }
    text += "\n\nUser: ";
    text += prompt;
    return text;
}

std::string GeminiService::generate(const std::string& model, std::string_view prompt,
                                    const std::optional<std::string>& selectedText,
                                    const std::optional<std::vector<ChatMessage>>& history) const {
    gemini::GenerativeModel::Configuration configuration;
    configuration.requestOptions = gemini::RequestOptions{kTimeoutSeconds, std::string(kAPIVersion)};
    const gemini::GenerativeModel generativeModel(model, apiKey_, std::move(configuration), http_, baseURL_);

    const auto response = generativeModel.generateContent({promptText(prompt, selectedText, history)});
    const auto text = response.text();
    if (!text) throw ProviderError("Gemini", -1, "No response text received from Gemini");
    return platform::unicode::trimWhitespaceAndNewlines(*text);
}

}  // namespace core
