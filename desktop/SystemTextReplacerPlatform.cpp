#include "desktop/SystemTextReplacerPlatform.h"

#include "GlobalShortcuts/CarbonGlobalShortcuts.h"
#include "platform/qt/QtEventLoopSleeper.h"
#include "platform/qt/QtPasteboard.h"
#include "platform/x11/X11PrimarySelection.h"
#include "platform/x11/X11SelectionOwner.h"
#include "platform/x11/X11SelectionReader.h"
#include "platform/x11/X11Workspace.h"
#include "platform/x11/XTestKeyboardEventPoster.h"

namespace desktop {

TextReplacerPlatform makeSystemTextReplacerPlatform() {
    // While the user still holds the shortcut, its grab keeps every key we
    // type, and until the panel has the keyboard its hold does: only the
    // hot-key layer's own connection can let go of either.
    auto hotKeys = [] { return CarbonGlobalShortcuts::backend(); };
    // One reader for every selection of another program: PRIMARY and the
    // clipboard alike wait at most its budget. The main loop reads its
    // connection between captures: what another client sends its windows
    // would otherwise wait there for the next capture.
    auto reader = std::make_shared<platform::X11SelectionReader>(nullptr, platform::X11SelectionReader::kBudget,
                                                                 platform::X11SelectionReader::kLimit,
                                                                 platform::MainLoop::main());
    // The clipboard kept for a paste-back is read from the main loop while
    // the provider answers, on a connection of its own: the waiting reads
    // above would take its answers.
    auto keeper = std::make_shared<platform::X11SelectionReader>(nullptr, platform::X11SelectionReader::kBudget,
                                                                 platform::X11SelectionReader::kLimit,
                                                                 platform::MainLoop::main());
    return {std::make_shared<platform::X11Workspace>(), std::make_shared<platform::X11PrimarySelection>(reader),
            std::make_shared<platform::XTestKeyboardEventPoster>(hotKeys),
            std::make_shared<platform::QtPasteboard>(reader, keeper), std::make_shared<platform::QtEventLoopSleeper>(),
            std::make_shared<platform::X11SelectionOwner>(platform::MainLoop::main()), platform::MainLoop::main(),
            platform::MonotonicClock::steady()};
}

}  // namespace desktop
