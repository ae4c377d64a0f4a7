#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/KeyboardEventPoster.h"
#include "platform/fake/EventJournal.h"

namespace platform {

// Records the keys typed ("control down", "c up") and lets the test play the
// other application through `onPost`.
class FakeKeyboardEventPoster final : public KeyboardEventPoster {
public:
    void releaseHeldKeys() override;
    bool isAnyKeyDown() override { return keysDown && keysDown(); }
    bool isAnyModifierDown() override { return modifiersDown ? modifiersDown() : isAnyKeyDown(); }
    bool post(SimulatedKey key, bool down) override;

    std::vector<std::string> events;
    std::set<SimulatedKey> missingKeys;  // keys that cannot be made
    int releases = 0;
    std::function<void(SimulatedKey key, bool down)> onPost;
    // Whether the user holds a key now (null: never).
    std::function<bool()> keysDown;
    // Whether the user holds a modifier now (null: as keysDown).
    std::function<bool()> modifiersDown;
    EventJournal journal;
};

}  // namespace platform
