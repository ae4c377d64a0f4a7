#include "GlobalShortcuts/ApplicationMenu.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QPointer>

#include <set>

#include "GlobalShortcuts/ModifierFlags.h"
#include "GlobalShortcuts/SpecialKey.h"

namespace GlobalShortcuts {

namespace {

QPointer<QMenu>& mainMenu() {
    static QPointer<QMenu> menu;
    return menu;
}

std::optional<SpecialKey> specialKeyFor(Qt::Key key) {
    using enum SpecialKey;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F20)
        return static_cast<SpecialKey>(static_cast<int>(f1) + (key - Qt::Key_F1));
    switch (key) {
        case Qt::Key_Return: return return_;
        case Qt::Key_Backspace: return delete_;
        case Qt::Key_Delete: return deleteForward;
        case Qt::Key_End: return end;
        case Qt::Key_Escape: return escape;
        case Qt::Key_Help: return help;
        case Qt::Key_Home: return home;
        case Qt::Key_Space: return space;
        case Qt::Key_Tab: return tab;
        case Qt::Key_PageUp: return pageUp;
        case Qt::Key_PageDown: return pageDown;
        case Qt::Key_Up: return upArrow;
        case Qt::Key_Right: return rightArrow;
        case Qt::Key_Down: return downArrow;
        case Qt::Key_Left: return leftArrow;
        default: return std::nullopt;
    }
}

// The key-equivalent text a shortcut of this key compares with; empty when
// no recorded shortcut can be this key (keypad keys, keys Qt names but the
// shortcut key codes have no position for).
std::string keyEquivalentText(QKeyCombination combination) {
    if (combination.keyboardModifiers() & Qt::KeypadModifier)
        return {};
    const auto key = combination.key();
    if (key >= Qt::Key_F21 && key <= Qt::Key_F35)
        return QString(QChar(char16_t(0xF704 + (key - Qt::Key_F1)))).toStdString();
    if (const auto special = specialKeyFor(key))
        return keyEquivalent(*special).value_or(std::string());
    // Character keys are named by their upper-case character; the key itself
    // types the lower-case one, and Shift is in the modifiers.
    if (key > Qt::Key_Space && key < Qt::Key_Escape)
        {
        const char32_t character = static_cast<char32_t>(key);
        return QString::fromUcs4(&character, 1).toLower().toStdString();
    }
    return {};
}

std::int64_t flagsFor(Qt::KeyboardModifiers modifiers) {
    std::int64_t flags = 0;
    if (modifiers & Qt::MetaModifier)
        flags |= ModifierFlags::command;
    if (modifiers & Qt::ControlModifier)
        flags |= ModifierFlags::control;
    if (modifiers & Qt::AltModifier)
        flags |= ModifierFlags::option;
    if (modifiers & Qt::ShiftModifier)
        flags |= ModifierFlags::shift;
    return flags;
}

// "&Quit" shows as "Quit"; "&&" is a literal ampersand.
std::string withoutMnemonics(const QString& text) {
    QString result;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size())
            ++i;
        result += text[i];
    }
    return result.toStdString();
}

std::vector<MenuItem> itemsOf(const QMenu& menu, std::set<const QMenu*>& visited) {
    std::vector<MenuItem> items;
    // A menu can hold itself somewhere below; read each menu once.
    if (!visited.insert(&menu).second)
        return items;
    for (const QAction* action : menu.actions()) {
        if (action->isSeparator())
            continue;
        MenuItem item;
        item.title = withoutMnemonics(action->text());
        if (const auto* submenu = action->menu<QMenu*>())
            item.submenu = itemsOf(*submenu, visited);
        bool added = false;
        for (const auto& sequence : action->shortcuts()) {
            // A sequence of several chords is never one key press.
            if (sequence.count() != 1)
                continue;
            MenuItem withKey = item;
            withKey.keyEquivalent = keyEquivalentText(sequence[0]);
            withKey.keyEquivalentModifierMask = flagsFor(sequence[0].keyboardModifiers());
            items.push_back(std::move(withKey));
            item.submenu.clear();  // searched once, with the first item
            added = true;
        }
        if (!added)
            items.push_back(std::move(item));
    }
    return items;
}

}  // namespace

void setApplicationMainMenu(QMenu* menu) { mainMenu() = menu; }

QMenu* applicationMainMenu() { return mainMenu(); }

std::vector<MenuItem> menuItems(const QMenu& menu) {
    std::set<const QMenu*> visited;
    return itemsOf(menu, visited);
}

std::optional<MenuItem> takenByApplicationMenu(const Shortcut& shortcut) {
    if (const QMenu* menu = mainMenu())
        return shortcut.takenBy(menuItems(*menu));
    return shortcut.takenByMainMenu();
}

}  // namespace GlobalShortcuts
