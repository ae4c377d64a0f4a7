#pragma once

#include <map>

#include "platform/KeyboardLayout.h"

namespace platform {

// A layout the test writes key by key. `usQwerty()` holds the US letters,
// digits and punctuation of the main block.
class FakeKeyboardLayout final : public KeyboardLayout {
public:
    std::optional<std::string> character(int linuxKeyCode) const override;

    void set(int linuxKeyCode, std::string text) { keys_[linuxKeyCode] = std::move(text); }
    void clear(int linuxKeyCode) { keys_.erase(linuxKeyCode); }

    static std::shared_ptr<FakeKeyboardLayout> usQwerty();

private:
    std::map<int, std::string> keys_;
};

}  // namespace platform
