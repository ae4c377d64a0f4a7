#pragma once

#include <functional>
#include <memory>

#include "platform/KeyboardEventPoster.h"

struct _XDisplay;

namespace platform {

class HotKeyBackend;

// Types keys with the XTEST extension, flushing after every event so each
// reaches the server in order. A key is found by its symbol across every
// group of the layout, and by its usual position where no group has it (a
// Cyrillic-only layout has no "c"). Keeps a display connection of its own.
class XTestKeyboardEventPoster final : public KeyboardEventPoster {
public:
    // `hotKeys` gives the hot-key backend (or none): only its connection can
    // let go of the hot-key grab, and a chord typed while it holds the
    // keyboard goes through it. Throws platform::Error when there is no
    // display.
    explicit XTestKeyboardEventPoster(std::function<std::shared_ptr<HotKeyBackend>()> hotKeys,
                                      const char* displayName = nullptr);
    ~XTestKeyboardEventPoster() override;
    XTestKeyboardEventPoster(const XTestKeyboardEventPoster&) = delete;
    XTestKeyboardEventPoster& operator=(const XTestKeyboardEventPoster&) = delete;

    void releaseHeldKeys() override;
    bool isAnyKeyDown() override;
    bool isAnyModifierDown() override;
    bool post(SimulatedKey key, bool down) override;
    bool postChord(SimulatedKey modifier, SimulatedKey key) override;

    // Whether the server offers XTEST at all.
    bool isAvailable() const { return available_; }

    // The X key code typing `key`; 0 when the keyboard has none.
    unsigned keyCode(SimulatedKey key) const;

private:
    std::shared_ptr<HotKeyBackend> hotKeys() const;

    std::function<std::shared_ptr<HotKeyBackend>()> hotKeys_;
    _XDisplay* display_ = nullptr;
    bool available_ = false;
};

}  // namespace platform
