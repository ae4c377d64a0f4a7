#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace desktop {

// One row of the tray menu: an item with its title, key equivalent and
// action, or a divider.
struct MenuRow {
    enum class Kind { Item, Divider };

    Kind kind = Kind::Item;
    // The title as people read it ("Help & FAQs").
    std::string title;
    // The key equivalent in portable key-sequence text ("Ctrl+,"), empty for
    // none. The desktop's Command in menus is Ctrl here.
    std::string shortcut;
    std::function<void()> action;

    // The title as a menu label: "&" marks a mnemonic there, so a literal
    // one is doubled ("Help && FAQs").
    std::string menuText() const;
};

// The tray menu without any display: the rows in order and what each does.
// The tray builds its QMenu from it; tests read it directly.
class MenuModel {
public:
    struct Actions {
        std::function<void()> openPreferences;
        std::function<void()> checkAccessibilityPermissions;
        std::function<void()> showHelp;
        std::function<void()> quit;
    };

    explicit MenuModel(Actions actions);

    const std::vector<MenuRow>& rows() const { return rows_; }
    // Runs the action of the row at `index`; dividers and indexes past the
    // end do nothing.
    void activate(std::size_t index) const;

private:
    std::vector<MenuRow> rows_;
};

}  // namespace desktop
