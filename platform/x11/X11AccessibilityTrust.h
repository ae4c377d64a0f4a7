#pragma once

#include "platform/AccessibilityTrust.h"

namespace platform {

// Trust on Linux: the program reads and replaces text in other programs
// through X11 (the PRIMARY selection and XTest keystrokes), which works in an
// X11 session whose server offers XTest. Under Wayland those keystrokes reach
// only X11 programs, so a Wayland session is untrusted and the permission
// window explains what to do. There is no dialog to prompt with: the
// prompting form answers the same as the plain one.
class X11AccessibilityTrust final : public AccessibilityTrust {
public:
    // Looks once at `displayName` (null: $DISPLAY) for XTest.
    explicit X11AccessibilityTrust(const char* displayName = nullptr);

    bool isProcessTrusted() override;
    bool isProcessTrustedWithOptions(bool prompt) override;

    // $WAYLAND_DISPLAY is set or $XDG_SESSION_TYPE says "wayland".
    static bool isWaylandSession();

private:
    bool xTestAvailable_ = false;
};

}  // namespace platform
