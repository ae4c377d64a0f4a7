#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "GlobalShortcuts/ApplicationEvents.h"
#include "GlobalShortcuts/CarbonGlobalShortcuts.h"
#include "GlobalShortcuts/GlobalShortcuts.h"
#include "GlobalShortcuts/KeyCharacters.h"
#include "platform/fake/FakeKeyboardLayout.h"
#include "platform/fake/InMemoryHotKeyBackend.h"
#include "platform/fake/InMemoryUserDefaults.h"
#include "platform/fake/ManualMainLoop.h"

// A clean shortcut library over in-memory storage, a scripted desktop, a
// manual main loop and the US layout.
class ShortcutsFixture : public ::testing::Test {
protected:
    void SetUp() override {
        defaults = std::make_shared<platform::InMemoryUserDefaults>();
        platform::UserDefaults::setStandard(defaults);
        loop = std::make_shared<platform::ManualMainLoop>();
        platform::MainLoop::setMain(loop);
        desktop = std::make_shared<platform::InMemoryHotKeyBackend>();
        GlobalShortcuts::resetForTesting();
        CarbonGlobalShortcuts::setBackend(desktop);
        layout = platform::FakeKeyboardLayout::usQwerty();
        GlobalShortcuts::setKeyboardLayout(layout);
    }

    void TearDown() override {
        GlobalShortcuts::resetForTesting();
        CarbonGlobalShortcuts::setBackend(nullptr);
        platform::MainLoop::setMain(nullptr);
        platform::UserDefaults::setStandard(std::make_shared<platform::InMemoryUserDefaults>());
    }

    static platform::HotKeyCombination combo(const GlobalShortcuts::Shortcut& shortcut) {
        return {static_cast<std::uint32_t>(shortcut.carbonKeyCode()),
                static_cast<std::uint32_t>(shortcut.carbonModifiers())};
    }
    void press(const GlobalShortcuts::Shortcut& shortcut) { desktop->press(combo(shortcut)); }
    void release(const GlobalShortcuts::Shortcut& shortcut) { desktop->release(combo(shortcut)); }

    std::shared_ptr<platform::InMemoryUserDefaults> defaults;
    std::shared_ptr<platform::ManualMainLoop> loop;
    std::shared_ptr<platform::InMemoryHotKeyBackend> desktop;
    std::shared_ptr<platform::FakeKeyboardLayout> layout;
};
