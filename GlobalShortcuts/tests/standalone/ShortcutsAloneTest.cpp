// The shortcut library used as a program of its own would use it: nothing
// installed, so a name's default lands in the standard settings store (the
// user's settings file) and keys are named through the default layout.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "GlobalShortcuts/ModifierFlags.h"
#include "GlobalShortcuts/Name.h"
#include "platform/UserDefaults.h"
#include "testsupport/TestData.h"

namespace {

using GlobalShortcuts::Key;
using GlobalShortcuts::Shortcut;
constexpr std::int64_t kCommandShift = GlobalShortcuts::ModifierFlags::command | GlobalShortcuts::ModifierFlags::shift;

TEST(ShortcutsAlone, ANamedDefaultIsStoredInTheSettingsFileAndKeysShowTheirLetters) {
    const GlobalShortcuts::Name name("toggleQuillary", Shortcut(Key::space, kCommandShift));
    EXPECT_EQ(name.shortcut(), Shortcut(Key::space, kCommandShift));
    ASSERT_TRUE(platform::UserDefaults::standard()->flush());
    const auto file = std::filesystem::path(std::getenv("XDG_CONFIG_HOME")) / "quillary" / "defaults.json";
    EXPECT_TRUE(nlohmann::json::parse(testsupport::readFile(file)).contains("GlobalShortcuts_toggleQuillary"));

    EXPECT_EQ(Shortcut(Key::v, kCommandShift).description(), "\u21E7\u2318V");
}

}  // namespace
