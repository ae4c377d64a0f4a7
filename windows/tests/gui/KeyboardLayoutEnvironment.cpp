#include <gtest/gtest.h>

#include "GlobalShortcuts/KeyCharacters.h"
#include "platform/fake/FakeKeyboardLayout.h"

namespace {

// The windows show shortcuts, whose keys are read through a keyboard layout;
// as the program installs the display's, these tests install a US one.
class KeyboardLayoutEnvironment final : public ::testing::Environment {
public:
    void SetUp() override {
        GlobalShortcuts::followKeyboardLayout([] { return platform::FakeKeyboardLayout::usQwerty(); });
    }
    void TearDown() override { GlobalShortcuts::followKeyboardLayout(nullptr); }
};

[[maybe_unused]] const auto* const environment = ::testing::AddGlobalTestEnvironment(new KeyboardLayoutEnvironment);

}  // namespace
