#include "platform/fake/FakeKeyboardLayout.h"

namespace platform {

std::optional<std::string> FakeKeyboardLayout::character(int linuxKeyCode) const {
    const auto it = keys_.find(linuxKeyCode);
    if (it == keys_.end())
        return std::nullopt;
    return it->second;
}

std::shared_ptr<FakeKeyboardLayout> FakeKeyboardLayout::usQwerty() {
    auto layout = std::make_shared<FakeKeyboardLayout>();
    // Rows of the main block, as Linux key codes run along them.
    const auto row = [&](int first, std::string_view keys) {
        for (std::size_t i = 0; i < keys.size(); ++i)
            layout->set(first + static_cast<int>(i), std::string(1, keys[i]));
    };
    row(2, "1234567890-=");
    row(16, "qwertyuiop[]");
    row(30, "asdfghjkl;'`");
    layout->set(43, "\\");
    row(44, "zxcvbnm,./");
    return layout;
}

}  // namespace platform
