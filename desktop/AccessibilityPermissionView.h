#pragma once

#include <QWidget>

class QPushButton;

namespace desktop {

class AccessibilityManager;

// The permission window's content: why the permission is needed, five
// numbered steps and the two buttons. "Open System Settings" is the default
// button (Return); "Check Permissions" closes the window once the trust is
// there and otherwise brings it back to the front.
class AccessibilityPermissionView final : public QWidget {
public:
    explicit AccessibilityPermissionView(AccessibilityManager& manager, QWidget* parent = nullptr);

    static constexpr const char* title = "Accessibility Permissions Required";
    static constexpr const char* explanation =
        "Quillary needs accessibility permissions to read and replace text in other applications. "
        "This allows you to use AI assistance seamlessly across your desktop.";
    static constexpr const char* steps[] = {
        "Click 'Open System Settings' below",
        "Log in to an X11 session (on Wayland, choose the X11 session at the login screen)",
        "Make sure your X server offers the XTest extension (X11 desktops have it)",
        "Optionally customise your shortcut in the settings - default: Super + Shift + Space",
        "Enjoy using Quillary anywhere!",
    };
    static constexpr const char* openSettingsText = "Open System Settings";
    static constexpr const char* checkPermissionsText = "Check Permissions";

    static constexpr int width = 480;
    static constexpr int padding = 40;
    static constexpr int spacing = 20;
    static constexpr int stepSpacing = 12;
    static constexpr int stepsPadding = 16;  // above and below the steps
    static constexpr int buttonSpacing = 16;

    QPushButton* openSettingsButton() const { return openSettings_; }
    QPushButton* checkPermissionsButton() const { return checkPermissions_; }

private:
    void checkPermissions();

    AccessibilityManager& manager_;
    QPushButton* openSettings_;
    QPushButton* checkPermissions_;
};

}  // namespace desktop
