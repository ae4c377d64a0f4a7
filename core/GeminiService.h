#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ChatMessage.h"
#include "platform/HttpClient.h"

namespace core {

// Answers one prompt with a Gemini model through the Gemini client. The
// system prompt, the selection, the history and the prompt go as one text in
// one user turn; temperature, maximum tokens and custom instructions are not
// sent.
class GeminiService {
public:
    static constexpr double kTimeoutSeconds = 300;
    static constexpr std::string_view kAPIVersion = "v1beta";

    // `baseURL` is for tests; the program uses the default.
    // `loopbackOnly` marks every request as one a test hook addressed.
    explicit GeminiService(std::string apiKey,
                           std::shared_ptr<platform::HttpClient> http = platform::HttpClient::shared(),
                           std::string baseURL = "https://generativelanguage.googleapis.com",
                           bool loopbackOnly = false);
    virtual ~GeminiService() = default;

    // The trimmed answer. Throws what the client throws (GenerateContentError:
    // invalid key, blocked prompt, stopped answer, transport failure ...) and
    // a ProviderError ("Gemini", -1) when the reply holds no text. Blocks: run
    // it on a worker.
    virtual std::string generate(const std::string& model, std::string_view prompt,
                                 const std::optional<std::string>& selectedText,
                                 const std::optional<std::vector<ChatMessage>>& history) const;

    // The one text that is sent: base prompt, selection paragraph, one
    // "Role: content" block per history message, then "User: " and the prompt.
    static std::string promptText(std::string_view prompt, const std::optional<std::string>& selectedText,
                                  const std::optional<std::vector<ChatMessage>>& history);

    const std::string& apiKey() const { return apiKey_; }

private:
    std::string apiKey_;
    std::shared_ptr<platform::HttpClient> http_;
    std::string baseURL_;
};

}  // namespace core
