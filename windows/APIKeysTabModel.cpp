#include "windows/APIKeysTabModel.h"

#include <utility>

namespace windows {

using Property = core::Settings::Property;

const std::array<APIKeysTabModel::Provider, APIKeysTabModel::kProviderCount>& APIKeysTabModel::providers() {
    static const std::array<Provider, kProviderCount> table{{
        {"OpenAI", "Required for GPT models", "platform.openai.com", Property::OpenaiKey},
        {"Anthropic", "Required for Claude models", "console.anthropic.com", Property::ClaudeKey},
        {"Google", "Required for Gemini models", "ai.google.dev", Property::GeminiKey},
    }};
    return table;
}

std::string APIKeysTabModel::linkText(const Provider& provider) {
    return "Get API key from " + std::string(provider.host);
}

std::string APIKeysTabModel::link(const Provider& provider) { return "https://" + std::string(provider.host); }

std::string APIKeysTabModel::ollamaLinkText() { return "Download Ollama from " + std::string(kOllamaHost); }

std::string APIKeysTabModel::ollamaLink() { return "https://" + std::string(kOllamaHost); }

std::size_t APIKeysTabModel::sectionOf(Property property) {
    for (std::size_t i = 0; i < kProviderCount; ++i) {
        if (providers()[i].property == property) return i;
    }
    return kProviderCount;
}

const std::string& APIKeysTabModel::key(std::size_t section) const {
    static const std::string none;
    if (section >= kProviderCount) return none;
    switch (providers()[section].property) {
    case Property::OpenaiKey: return settings_.openaiKey();
    case Property::ClaudeKey: return settings_.claudeKey();
    case Property::GeminiKey: return settings_.geminiKey();
    default: return none;
    }
}

void APIKeysTabModel::setKey(std::size_t section, std::string key) {
    if (section >= kProviderCount) return;
    switch (providers()[section].property) {
    case Property::OpenaiKey: settings_.setOpenaiKey(std::move(key)); break;
    case Property::ClaudeKey: settings_.setClaudeKey(std::move(key)); break;
    case Property::GeminiKey: settings_.setGeminiKey(std::move(key)); break;
    default: break;
    }
}

void APIKeysTabModel::toggleSecured(std::size_t section) {
    if (section < kProviderCount) secured_[section] = !secured_[section];
}

}  // namespace windows
