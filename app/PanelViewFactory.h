#pragma once

#include <memory>

#include "core/AIService.h"
#include "desktop/FloatingWindowManager.h"

namespace platform {
class AnalyticsSink;
class Executor;
class MainLoop;
class Pasteboard;
class SettingsLink;
class UserDefaults;
}  // namespace platform

// The program's services that every panel works with.
struct PanelServices {
    std::shared_ptr<platform::Executor> executor;
    std::shared_ptr<platform::Pasteboard> pasteboard;  // the transcript's copy buttons
    std::shared_ptr<platform::MainLoop> loop;
    std::shared_ptr<platform::UserDefaults> defaults;
    std::shared_ptr<platform::AnalyticsSink> telemetry;
    std::shared_ptr<platform::SettingsLink> settingsLink;  // the microphone settings
    core::AIServiceEndpoints endpoints;
};

// The panel's own view for every showing of the manager: a PanelModel bound
// to that showing (current while the manager still shows it), its provider
// calls on the program's executor to the services' endpoints, its voice
// input through the speech module, loaded at the first recording.
//
//   manager.setViewFactory(makePanelViewFactory(manager, services));
desktop::FloatingWindowManager::ViewFactory makePanelViewFactory(desktop::FloatingWindowManager& manager,
                                                                 PanelServices services);
