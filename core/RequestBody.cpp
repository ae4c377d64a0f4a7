#include "core/RequestBody.h"

namespace core {

const std::string_view baseSystemPrompt =
    "You are an AI assistant integrated into a Linux desktop tray app called Quillary. Your purpose is to "
    "help users with their text-based tasks.\n"
    "\n"
    "Key points about how you should operate:\n"
    "1. Be concise and direct in your responses - users want quick, actionable results\n"
    "2. When editing text, maintain the original tone and style unless specifically asked to change it\n"
    "3. If the user has selected text, use it as context for your response\n"
    "4. Focus on being helpful while respecting the original intent of the text\n"
    "5. For code-related tasks, ensure your responses are complete and properly formatted\n"
    "6. Maintain professionalism but be friendly and approachable\n"
    "7. Return text exactly as needed without adding quotes, markdown, or any other formatting\n"
    "8. Never wrap responses in code blocks or quotes or markdown or backticks unless specifically "
    "requested\n"
    "9. Preserve the exact formatting of any text the user provides\n"
    "\n"
    "Remember: Users are accessing you through a quick-access tray app, so optimize for efficiency "
    "and clarity.";

namespace {
constexpr std::string_view kSelectionHead = "\n\nThe user has selected the following text:\n\"";
constexpr std::string_view kSelectionTail = "\"\nProcess their next prompt in this context.";
constexpr std::string_view kInstructionsHead = "\n\nAdditional Instructions:\n";
constexpr double kDefaultTemperature = 0.7;
constexpr std::int64_t kDefaultMaxTokens = 2000;
}  // namespace

std::string selectionParagraph(std::string_view selectedText) {
    std::string out;
    out.reserve(kSelectionHead.size() + selectedText.size() + kSelectionTail.size());
    out.append(kSelectionHead).append(selectedText).append(kSelectionTail);
    return out;
}

std::string instructionsParagraph(std::string_view instructions) {
    std::string out;
    out.reserve(kInstructionsHead.size() + instructions.size());
    out.append(kInstructionsHead).append(instructions);
    return out;
}

std::string buildSystemMessage(const std::optional<std::string>& selectedText, const RequestSettings* settings) {
    std::string message(baseSystemPrompt);
    // Not trimmed: instructions of spaces only are the user's to keep.
    if (settings && !settings->customSystemMessage.empty())
        message += instructionsParagraph(settings->customSystemMessage);
    if (selectedText) message += selectionParagraph(*selectedText);
    return message;
}

std::vector<RequestMessage> buildMessages(std::string_view prompt, const std::optional<std::string>& selectedText,
                                          const std::vector<ChatMessage>& history, const RequestSettings* settings) {
    std::vector<RequestMessage> messages;
    messages.reserve(history.size() + 2);
    messages.push_back({"system", buildSystemMessage(selectedText, settings)});
    for (const auto& message : history) messages.push_back({std::string(rawValue(message.role)), message.content});
    messages.push_back({"user", std::string(prompt)});
    return messages;
}

nlohmann::json toJson(std::vector<RequestMessage> messages) {
    auto array = nlohmann::json::array();
    array.get_ref<nlohmann::json::array_t&>().reserve(messages.size());
    for (auto& m : messages) array.push_back({{"role", std::move(m.role)}, {"content", std::move(m.content)}});
    return array;
}

nlohmann::json makeRequestBody(std::string_view prompt, const std::optional<std::string>& selectedText,
                               const std::vector<ChatMessage>& history, const RequestSettings* settings) {
    return nlohmann::json{{"temperature", settings ? settings->temperature : kDefaultTemperature},
                          {"max_tokens", settings ? settings->maxTokens : kDefaultMaxTokens},
                          {"messages", toJson(buildMessages(prompt, selectedText, history, settings))}};
}

}  // namespace core
