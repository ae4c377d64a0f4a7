#include "platform/UnavailableHotKeyBackend.h"

#include "platform/Logger.h"

namespace platform {

int UnavailableHotKeyBackend::registerHotKey(HotKeyCombination, HotKeyId) {
    Logger("quillary", "hotkeys").error("Cannot register a global shortcut: no X11 display is open for its key grab");
    return hotkey_status::internalError;
}

}  // namespace platform
