#pragma once

#include <memory>

#include "desktop/TextReplacer.h"
#include "platform/fake/FakeAccessibilityClient.h"
#include "platform/fake/FakeKeyboardEventPoster.h"
#include "platform/fake/FakePasteboard.h"
#include "platform/fake/FakeSelectionOwner.h"
#include "platform/fake/ManualMainLoop.h"
#include "platform/fake/ManualMonotonicClock.h"
#include "platform/fake/FakeWorkspace.h"
#include "platform/fake/RecordingSleeper.h"

namespace desktop::testing {

// The capture's desktop services as fakes, ready to install.
struct CaptureFakes {
    std::shared_ptr<platform::FakeWorkspace> workspace = std::make_shared<platform::FakeWorkspace>();
    std::shared_ptr<platform::FakeAccessibilityClient> accessibility =
        std::make_shared<platform::FakeAccessibilityClient>();
    std::shared_ptr<platform::FakeKeyboardEventPoster> keyboard = std::make_shared<platform::FakeKeyboardEventPoster>();
    std::shared_ptr<platform::FakePasteboard> pasteboard = std::make_shared<platform::FakePasteboard>();
    std::shared_ptr<platform::RecordingSleeper> sleeper = std::make_shared<platform::RecordingSleeper>();
    std::shared_ptr<platform::FakeSelectionOwner> selectionOwner = std::make_shared<platform::FakeSelectionOwner>();
    std::shared_ptr<platform::ManualMainLoop> captureLoop = std::make_shared<platform::ManualMainLoop>();
    // Moved by the sleeper's waits, and by a test where a wait runs long.
    std::shared_ptr<platform::ManualMonotonicClock> clock = std::make_shared<platform::ManualMonotonicClock>();

    // The clipboard a toolkit write takes is no longer the answer's.
    CaptureFakes() {
        pasteboard->onWrite = [owner = std::weak_ptr<platform::FakeSelectionOwner>(selectionOwner)] {
            if (const auto o = owner.lock()) o->clipboard.reset();
        };
    }

    TextReplacerPlatform services() const {
        sleeper->clock = clock;
        return {workspace, accessibility, keyboard, pasteboard, sleeper, selectionOwner, captureLoop, clock};
    }
};

}  // namespace desktop::testing
