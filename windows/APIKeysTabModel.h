#pragma once

// What the API Keys tab shows and does, without a display: the three hosted
// providers in order, each key read from and written to the shared settings
// (every write stores the key and reports "key_changed", never the key), and
// whether each section hides its key.
//
//   APIKeysTabModel model(settings);
//   model.setKey(0, "sk-...");          // settings.openaiKey()
//   model.toggleSecured(0);             // only the OpenAI section shows its key
//
// Indexes out of range read as an empty, hidden section and change nothing.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "core/Settings.h"

namespace windows {

class APIKeysTabModel {
public:
    struct Provider {
        std::string_view title;
        std::string_view description;
        std::string_view host;  // of the provider's key page
        core::Settings::Property property;
    };
    static constexpr std::size_t kProviderCount = 3;
    static const std::array<Provider, kProviderCount>& providers();

    // "Get API key from <host>" and "https://<host>".
    static std::string linkText(const Provider& provider);
    static std::string link(const Provider& provider);
    // The local-models block: no key, only the download link.
    static constexpr std::string_view kOllamaHost = "ollama.com";
    static std::string ollamaLinkText();
    static std::string ollamaLink();

    explicit APIKeysTabModel(core::Settings& settings) : settings_(settings) {}

    std::size_t sectionCount() const { return kProviderCount; }
    // The section whose key the settings property holds, or kProviderCount.
    static std::size_t sectionOf(core::Settings::Property property);

    const std::string& key(std::size_t section) const;
    void setKey(std::size_t section, std::string key);

    bool isSecured(std::size_t section) const { return section < kProviderCount ? secured_[section] : true; }
    void toggleSecured(std::size_t section);

private:
    core::Settings& settings_;
    std::array<bool, kProviderCount> secured_{true, true, true};
};

}  // namespace windows
