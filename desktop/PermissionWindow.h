#pragma once

#include <QPointer>

#include "desktop/PermissionWindowController.h"

#include <QWidget>

#include "ui/TopLevelFrame.h"

namespace desktop {

class AccessibilityManager;

// The accessibility permission window: a top-level window that stays above
// other windows, 480 wide, centred on the screen, with the permission view
// as its content, its size fixed. Not deleted when the user closes it, so the
// manager can show the same window again; deleted when the manager closes it
// or goes.
class PermissionWindow final : public PermissionWindowController {
public:
    explicit PermissionWindow(AccessibilityManager& manager);
    ~PermissionWindow() override;
    PermissionWindow(const PermissionWindow&) = delete;
    PermissionWindow& operator=(const PermissionWindow&) = delete;

    void showWindow() override;
    void orderOut() override;
    void close() override;
    bool hasWindow() const override { return !window_.isNull(); }

    // The top-level widget (for tests).
    QWidget* window() const { return window_.data(); }

private:
    QPointer<ui::TopLevelFrame> window_;
};

}  // namespace desktop
