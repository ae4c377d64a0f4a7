#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Workspace.h"

namespace platform {

// Reads what another application shows: its focused element and the text
// attributes of an element. On X11 the selected text is the PRIMARY
// selection of the application's X client; the whole value of a field has
// no source there.
class AccessibilityClient {
public:
    using ElementId = std::uint64_t;

    enum class Attribute { selectedText, value };

    struct FocusedElement {
        enum class State { found, noElement, failed };
        State state = State::failed;
        ElementId element = 0;  // meaningful when found
    };

    virtual ~AccessibilityClient() = default;

    // The application's focused element: found, asked successfully with no
    // element to give, or not answered (the application cannot be asked).
    virtual FocusedElement focusedElement(const RunningApplication& app) = 0;

    // A text attribute of `element`, or of the application itself when
    // `element` is none. None when the read fails or the value is not text;
    // an empty text is a value like any other.
    virtual std::optional<std::string> text(const RunningApplication& app, std::optional<ElementId> element,
                                            Attribute attribute) = 0;

    // Whether the last read gave none because the application did not
    // answer in time: asking it anything more would only wait again.
    virtual bool lastReadUnanswered() const { return false; }
};

}  // namespace platform
