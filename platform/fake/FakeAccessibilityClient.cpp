#include "platform/fake/FakeAccessibilityClient.h"

namespace platform {

AccessibilityClient::FocusedElement FakeAccessibilityClient::focusedElement(const RunningApplication&) {
    note(journal, "focused element");
    return focus;
}

std::optional<std::string> FakeAccessibilityClient::text(const RunningApplication&, std::optional<ElementId> element,
                                                         Attribute attribute) {
    ++reads;
    note(journal, std::string(element ? "element " : "application ") +
                      (attribute == Attribute::selectedText ? "selected text" : "value"));
    if (unanswered) return std::nullopt;
    if (!element) return attribute == Attribute::selectedText ? appSelectedText : std::nullopt;
    return attribute == Attribute::selectedText ? selectedText : value;
}

}  // namespace platform
