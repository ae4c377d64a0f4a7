#pragma once

#include <QIcon>

#include <memory>

#include "desktop/MenuModel.h"

class QMenu;
class QSystemTrayIcon;

namespace desktop {

// The program's face in the panel: a tray icon ("menubar-icon") whose menu
// is built from the MenuModel. The key equivalents show beside the rows and
// work while the menu is open; a tray menu has no global key equivalents.
// The menu is also the program's main menu for the shortcut recorder, so
// the keys it uses cannot be recorded as global shortcuts.
//
// Without a tray (no status area on the desktop) one log line says so and
// the program goes on with its shortcuts; Qt adds the icon should a tray
// appear later. Main thread only.
class TrayMenu {
public:
    explicit TrayMenu(MenuModel model);
    ~TrayMenu();
    TrayMenu(const TrayMenu&) = delete;
    TrayMenu& operator=(const TrayMenu&) = delete;

    // Shows the icon; false (after the log line) when no tray is available.
    bool show();

    QMenu& menu() { return *menu_; }
    QSystemTrayIcon& trayIcon() { return *icon_; }
    const MenuModel& model() const { return model_; }

    // The "menubar-icon" artwork at the sizes trays ask for: a white quill
    // with a dark rim, readable on light and dark panels alike.
    static QIcon icon();

    static constexpr const char* kNoTrayMessage = "No system tray on this desktop: Quillary keeps running with its shortcuts";

private:
    class KeyEquivalents;

    MenuModel model_;
    std::unique_ptr<QMenu> menu_;
    std::unique_ptr<QSystemTrayIcon> icon_;
};

}  // namespace desktop
