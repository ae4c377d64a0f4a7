#include "GlobalShortcuts/GlobalKeyboardShortcutViewModifier.h"

#include <QAbstractButton>

#include "GlobalShortcuts/GlobalShortcuts.h"
#include "GlobalShortcuts/RecorderController.h"

namespace GlobalShortcuts {

GlobalKeyboardShortcutViewModifier::GlobalKeyboardShortcutViewModifier(QAbstractButton& button, Name name)
    : QObject(&button), button_(button), name_(std::move(name)) {
    auto& center = platform::NotificationCenter::defaultCenter();
    nameObserver_ =
        center.addObserver(std::string(kShortcutByNameDidChange), [this](const platform::Notification& notification) {
            const auto* changed = notification.value<Name>("name");
            if (changed && changed->rawValue() == name_.rawValue())
                refresh();
        });
    recorderObserver_ = center.addObserver(std::string(kRecorderActiveStatusDidChange),
                                           [this](const platform::Notification& notification) {
                                               const auto* active = notification.value<bool>("isActive");
                                               isRecorderActive_ = active && *active;
                                               refresh();
                                           });
    refresh();
}

void GlobalKeyboardShortcutViewModifier::refresh() {
    std::optional<QKeySequence> sequence;
    if (!isRecorderActive_)
        if (const auto stored = getShortcut(name_))
            sequence = stored->keySequence();
    button_.setShortcut(sequence.value_or(QKeySequence()));
}

GlobalKeyboardShortcutViewModifier* globalKeyboardShortcut(QAbstractButton& button, const Name& name) {
    return new GlobalKeyboardShortcutViewModifier(button, name);
}

}  // namespace GlobalShortcuts
