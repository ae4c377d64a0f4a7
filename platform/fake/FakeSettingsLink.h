#pragma once

#include <vector>

#include "platform/SettingsLink.h"

namespace platform {

// Records every pane it was asked to open; answers `opens`.
class FakeSettingsLink final : public SettingsLink {
public:
    bool open(SettingsPane pane) override;

    bool opens = true;
    std::vector<SettingsPane> opened;
};

}  // namespace platform
