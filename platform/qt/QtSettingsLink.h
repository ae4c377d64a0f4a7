#pragma once

#include "platform/SettingsLink.h"

namespace platform {

// Starts the desktop's settings program (GNOME's control centre, KDE's
// system settings) as a process of its own, detached from ours.
class QtSettingsLink final : public SettingsLink {
public:
    bool open(SettingsPane pane) override;
};

}  // namespace platform
