#include "platform/x11/X11PrimarySelection.h"

#include <X11/Xlib.h>
#include <X11/Xatom.h>

namespace platform {

X11PrimarySelection::X11PrimarySelection(std::shared_ptr<X11SelectionReader> reader) : reader_(std::move(reader)) {}

AccessibilityClient::FocusedElement X11PrimarySelection::focusedElement(const RunningApplication& app) {
    unanswered_ = false;
    owner_ = reader_->owner(XA_PRIMARY, app.window);
    if (!owner_.ofProgram)
        return {FocusedElement::State::noElement, 0};
    return {FocusedElement::State::found, app.window};
}

std::optional<std::string> X11PrimarySelection::text(const RunningApplication& app, std::optional<ElementId> element,
                                                     Attribute attribute) {
    unanswered_ = false;
    // The element is the one focusedElement found just before: PRIMARY was
    // the frontmost program's then.
    if (attribute != Attribute::selectedText || !element || *element != app.window)
        return std::nullopt;
    auto read = reader_->readText(XA_PRIMARY, owner_);
    unanswered_ = !read.answered;
    return std::move(read.text);
}

}  // namespace platform
