#include "desktop/MenuModel.h"

#include <utility>

namespace desktop {

std::string MenuRow::menuText() const {
    std::string text;
    text.reserve(title.size() + 2);
    for (char c : title) {
        if (c == '&') text += '&';
        text += c;
    }
    return text;
}

MenuModel::MenuModel(Actions actions) {
    const auto item = [](std::string title, std::string shortcut, std::function<void()> action) {
        return MenuRow{MenuRow::Kind::Item, std::move(title), std::move(shortcut), std::move(action)};
    };
    const MenuRow divider{MenuRow::Kind::Divider, {}, {}, {}};
    rows_ = {
        item("Preferences...", "Ctrl+,", std::move(actions.openPreferences)),
        divider,
        item("Check Accessibility Permissions", "", std::move(actions.checkAccessibilityPermissions)),
        item("Help & FAQs", "Ctrl+?", std::move(actions.showHelp)),
        divider,
        item("Quit Quillary", "Ctrl+Q", std::move(actions.quit)),
    };
}

void MenuModel::activate(std::size_t index) const {
    if (index >= rows_.size()) return;
    const MenuRow& row = rows_[index];
    if (row.kind == MenuRow::Kind::Item && row.action) row.action();
}

}  // namespace desktop
