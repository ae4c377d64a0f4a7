#pragma once

#include <QObject>

#include "GlobalShortcuts/Name.h"
#include "platform/NotificationCenter.h"

class QAbstractButton;

namespace GlobalShortcuts {

// Gives a button the named shortcut as its in-window keyboard shortcut: it
// takes up a newly stored shortcut at once, and has none while any recorder
// records, so recording that combination does not press the button. Goes
// with the button. Main thread only.
class GlobalKeyboardShortcutViewModifier final : public QObject {
public:
    GlobalKeyboardShortcutViewModifier(QAbstractButton& button, Name name);

    bool isRecorderActive() const { return isRecorderActive_; }

private:
    void refresh();

    QAbstractButton& button_;
    Name name_;
    // A recorder that is already recording when the binding is made is seen
    // from its next change on.
    bool isRecorderActive_ = false;
    platform::ObserverToken nameObserver_;
    platform::ObserverToken recorderObserver_;
};

GlobalKeyboardShortcutViewModifier* globalKeyboardShortcut(QAbstractButton& button, const Name& name);

}  // namespace GlobalShortcuts
