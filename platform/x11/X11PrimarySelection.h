#pragma once

#include <memory>

#include "platform/AccessibilityClient.h"
#include "platform/x11/X11SelectionReader.h"

namespace platform {

// The selected text of an X11 program: the PRIMARY selection, which every
// toolkit sets when the user selects text. It counts only when its owner
// belongs to the frontmost program (the same process, or the same X client
// where the server knows no process), so a selection left in another
// program is never taken for this one's. The whole value of a field cannot
// be read on X11. Reads through the program's selection reader.
class X11PrimarySelection final : public AccessibilityClient {
public:
    explicit X11PrimarySelection(std::shared_ptr<X11SelectionReader> reader);

    FocusedElement focusedElement(const RunningApplication& app) override;
    std::optional<std::string> text(const RunningApplication& app, std::optional<ElementId> element,
                                    Attribute attribute) override;
    bool lastReadUnanswered() const override { return unanswered_; }

private:
    std::shared_ptr<X11SelectionReader> reader_;
    X11SelectionReader::Owner owner_;  // as focusedElement found it
    bool unanswered_ = false;
};

}  // namespace platform
