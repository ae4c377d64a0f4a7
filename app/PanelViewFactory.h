#pragma once

#include <memory>

#include "desktop/FloatingWindowManager.h"

namespace platform {
class Executor;
class Pasteboard;
}  // namespace platform

// The panel's own view for every showing of the manager: a PanelModel bound
// to that showing (current while the manager still shows it), its provider
// calls on the program's executor, and the program's clipboard for the
// transcript's copy buttons.
//
//   manager.setViewFactory(makePanelViewFactory(manager, executor, capture.pasteboard));
desktop::FloatingWindowManager::ViewFactory makePanelViewFactory(desktop::FloatingWindowManager& manager,
                                                                 std::shared_ptr<platform::Executor> executor,
                                                                 std::shared_ptr<platform::Pasteboard> pasteboard);
