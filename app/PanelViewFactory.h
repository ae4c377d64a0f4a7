#pragma once

#include <memory>

#include "core/AIService.h"
#include "desktop/FloatingWindowManager.h"

namespace platform {
class Executor;
class Pasteboard;
}  // namespace platform

// The panel's own view for every showing of the manager: a PanelModel bound
// to that showing (current while the manager still shows it), its provider
// calls on the program's executor to `endpoints`, and the program's
// clipboard for the transcript's copy buttons.
//
//   manager.setViewFactory(makePanelViewFactory(manager, executor, capture.pasteboard, endpoints));
desktop::FloatingWindowManager::ViewFactory makePanelViewFactory(desktop::FloatingWindowManager& manager,
                                                                 std::shared_ptr<platform::Executor> executor,
                                                                 std::shared_ptr<platform::Pasteboard> pasteboard,
                                                                 core::AIServiceEndpoints endpoints);
