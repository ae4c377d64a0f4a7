#include "ui/ModelIconName.h"

#include <string>

namespace ui {

namespace {

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

// The first piece of `name` split at U+0020 only, empty pieces dropped, in
// lower case. Other white space does not split.
std::string firstWordLowered(std::string_view name) {
    const auto start = name.find_first_not_of(' ');
    if (start == std::string_view::npos) return {};
    const auto end = name.find(' ', start);
    std::string word(name.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    for (char& c : word)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return word;
}

}  // namespace

std::string_view iconName(const core::ModelInfo& model) {
    const std::string_view api = model.apiName;
    // The order matters: "ollama:" models must not count as OpenAI for
    // starting with "o", and "llama" inside a name wins over "gpt".
    if (api.starts_with("ollama:") || contains(api, "llama") || contains(api, "mistral")) return "ollama";
    if (contains(api, "claude") || api.starts_with("anthropic")) return "claude";
    if (contains(api, "gemini")) return "gemini";
    if (contains(api, "gpt") || api.starts_with("o")) return "openai";

    const std::string word = firstWordLowered(model.displayName);
    if (word == "ollama" || word == "llama" || word == "mistral" || word == "codellama" || word == "deepseek")
        return "ollama";
    if (word == "claude" || word == "anthropic") return "claude";
    if (word == "gemini") return "gemini";
    return "openai";
}

}  // namespace ui
