#include "platform/fake/FakeKeyboardEventPoster.h"

namespace platform {

void FakeKeyboardEventPoster::releaseHeldKeys() {
    ++releases;
    note(journal, "release held keys");
}

bool FakeKeyboardEventPoster::post(SimulatedKey key, bool down) {
    if (missingKeys.count(key)) return false;
    auto entry = std::string(toString(key)) + (down ? " down" : " up");
    events.push_back(entry);
    note(journal, std::move(entry));
    if (onPost) onPost(key, down);
    return true;
}

}  // namespace platform
