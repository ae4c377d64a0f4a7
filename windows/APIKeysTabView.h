#pragma once

// The first settings tab: one panel per hosted provider (OpenAI, Anthropic,
// Google) with its key field, and the Ollama panel, which needs no key.
// The fields follow the settings while the tab lives, also when a key is
// changed elsewhere.

#include <array>
#include <memory>

#include "core/ObserverList.h"
#include "windows/APIKeySection.h"
#include "windows/APIKeysTabModel.h"
#include "windows/SettingsTabPage.h"

namespace windows {

class APIKeysTabView : public SettingsTabPage {
public:
    explicit APIKeysTabView(core::Settings& settings, QWidget* parent = nullptr);
    ~APIKeysTabView() override;

    APIKeysTabModel& model() { return model_; }
    APIKeySection* section(std::size_t index) const { return sections_.at(index); }

private:
    core::Settings& settings_;
    APIKeysTabModel model_;
    std::array<APIKeySection*, APIKeysTabModel::kProviderCount> sections_{};
    core::ObserverToken token_{};
};

}  // namespace windows
