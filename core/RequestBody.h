#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/ChatMessage.h"
#include "core/RequestSettings.h"

namespace core {

// The fixed system prompt every provider gets first.
extern const std::string_view baseSystemPrompt;

// "\n\nThe user has selected the following text:\n\"" + selection +
// "\"\nProcess their next prompt in this context."
std::string selectionParagraph(std::string_view selectedText);

// "\n\nAdditional Instructions:\n" + instructions
std::string instructionsParagraph(std::string_view instructions);

// One element of the role/content list sent to OpenAI, Anthropic and Ollama.
struct RequestMessage {
    std::string role;
    std::string content;

    friend bool operator==(const RequestMessage&, const RequestMessage&) = default;
};

// The base prompt, then the custom instructions (when not empty), then the
// selection paragraph (whenever a selection is given, even an empty one).
// `settings` may be null: then no instructions are added.
std::string buildSystemMessage(const std::optional<std::string>& selectedText, const RequestSettings* settings);

// The system message, every history message in order (system ones included),
// then the prompt as the user's message.
std::vector<RequestMessage> buildMessages(std::string_view prompt, const std::optional<std::string>& selectedText,
                                          const std::vector<ChatMessage>& history, const RequestSettings* settings);

nlohmann::json toJson(std::vector<RequestMessage> messages);

// {"temperature", "max_tokens", "messages"}: the settings' temperature and
// token limit as they are (0.7 and 2000 without settings), and the message
// list above. Each provider adds its own keys.
nlohmann::json makeRequestBody(std::string_view prompt, const std::optional<std::string>& selectedText,
                               const std::vector<ChatMessage>& history, const RequestSettings* settings);

}  // namespace core
