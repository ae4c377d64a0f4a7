#pragma once

#include "platform/HotKeyBackend.h"

namespace platform {

// The hot-key service of a program that has none (no X11 display was
// opened): every registration fails with internalError and a log line that
// says why, instead of seeming to succeed and never firing.
class UnavailableHotKeyBackend final : public HotKeyBackend {
public:
    int registerHotKey(HotKeyCombination combination, HotKeyId id) override;
    void unregisterHotKey(HotKeyId) override {}
    void setHandler(Handler) override {}
    void releaseActiveGrab() override {}
    std::vector<HotKeyCombination> reservedCombinations() override { return {}; }
    bool isReserved(HotKeyCombination) override { return false; }
};

}  // namespace platform
