#pragma once

#include <chrono>

#include "platform/AccessibilityClient.h"

struct _XDisplay;

namespace platform {

// The selected text of an X11 program: the PRIMARY selection, which every
// toolkit sets when the user selects text. It counts only when its owner is
// a window of the frontmost program's own X client, so a selection left in
// another program is never taken for this one's. The whole value of a field
// cannot be read on X11. Keeps a display connection (and a hidden window to
// receive the text) of its own.
class X11PrimarySelection final : public AccessibilityClient {
public:
    // Connects to `displayName` (null: $DISPLAY); throws platform::Error when
    // there is no display. An owner that does not answer within `timeout`
    // (Qt's clipboard time-out by default) gives no text.
    explicit X11PrimarySelection(const char* displayName = nullptr,
                                 std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));
    ~X11PrimarySelection() override;
    X11PrimarySelection(const X11PrimarySelection&) = delete;
    X11PrimarySelection& operator=(const X11PrimarySelection&) = delete;

    FocusedElement focusedElement(const RunningApplication& app) override;
    std::optional<std::string> text(const RunningApplication& app, std::optional<ElementId> element,
                                    Attribute attribute) override;

    // The text of PRIMARY whoever owns it; none when nobody does, the owner
    // does not answer, or it offers no text.
    std::optional<std::string> read();

private:
    bool ownedBy(const RunningApplication& app);
    bool waitFor(int type, unsigned long property, void* event, std::chrono::steady_clock::time_point deadline);
    std::optional<std::string> takeProperty(unsigned long property, unsigned long* type);
    std::optional<std::string> readIncrementally(unsigned long property,
                                                 std::chrono::steady_clock::time_point deadline);

    _XDisplay* display_ = nullptr;
    unsigned long window_ = 0;
    std::chrono::milliseconds timeout_;
};

}  // namespace platform
