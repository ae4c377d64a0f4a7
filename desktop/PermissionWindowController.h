#pragma once

namespace desktop {

// Owns the accessibility permission window for the accessibility manager:
// the one window there is, from its creation until the manager closes it.
class PermissionWindowController {
public:
    virtual ~PermissionWindowController() = default;

    // Activates the program ahead of other programs and shows the window in
    // front, whether it was never shown, hidden or closed by the user.
    virtual void showWindow() = 0;
    // Hides the window; a later showWindow() brings the same one back.
    virtual void orderOut() = 0;
    // Closes the window for good (the controller is dropped right after).
    virtual void close() = 0;
    virtual bool hasWindow() const = 0;
};

}  // namespace desktop
