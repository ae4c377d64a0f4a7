#pragma once

#include <memory>

#include "desktop/TextReplacer.h"
#include "platform/fake/FakeAccessibilityClient.h"
#include "platform/fake/FakeKeyboardEventPoster.h"
#include "platform/fake/FakePasteboard.h"
#include "platform/fake/FakeWorkspace.h"
#include "platform/fake/RecordingSleeper.h"

namespace desktop::testing {

// The capture's five desktop services as fakes, ready to install.
struct CaptureFakes {
    std::shared_ptr<platform::FakeWorkspace> workspace = std::make_shared<platform::FakeWorkspace>();
    std::shared_ptr<platform::FakeAccessibilityClient> accessibility =
        std::make_shared<platform::FakeAccessibilityClient>();
    std::shared_ptr<platform::FakeKeyboardEventPoster> keyboard = std::make_shared<platform::FakeKeyboardEventPoster>();
    std::shared_ptr<platform::FakePasteboard> pasteboard = std::make_shared<platform::FakePasteboard>();
    std::shared_ptr<platform::RecordingSleeper> sleeper = std::make_shared<platform::RecordingSleeper>();

    TextReplacerPlatform services() const { return {workspace, accessibility, keyboard, pasteboard, sleeper}; }
};

}  // namespace desktop::testing
