#pragma once

#include "platform/AccessibilityClient.h"
#include "platform/fake/EventJournal.h"

namespace platform {

// An application whose focused element the test describes. By default the
// focused element cannot be asked for (like most X11 programs without a
// PRIMARY selection), so reads give none.
class FakeAccessibilityClient final : public AccessibilityClient {
public:
    FocusedElement focusedElement(const RunningApplication& app) override;
    std::optional<std::string> text(const RunningApplication& app, std::optional<ElementId> element,
                                    Attribute attribute) override;
    bool lastReadUnanswered() const override { return unanswered; }

    FocusedElement focus{FocusedElement::State::failed, 0};
    std::optional<std::string> selectedText;     // of the focused element
    std::optional<std::string> value;            // of the focused element
    std::optional<std::string> appSelectedText;  // of the application element
    bool unanswered = false;  // the application stops answering
    int reads = 0;
    EventJournal journal;
};

}  // namespace platform
