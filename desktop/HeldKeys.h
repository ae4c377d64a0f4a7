#pragma once

#include <memory>
#include <vector>

#include <QKeyEvent>

#include "platform/PanelWindowSystem.h"

class QWidget;

namespace desktop {

// Keys the user typed while the keyboard was held for the panel, handed to
// the panel as if they had been typed into it: each a Qt key event with the
// window system's own key code and modifier state, so that text goes into
// the prompt and Return, Escape, Backspace and the global shortcuts do what
// they do there.
namespace held_keys {

// `autoRepeat`: the key was already down (a held key repeating).
std::unique_ptr<QKeyEvent> eventFor(const platform::TypedKey& key, bool autoRepeat);

// The key `event` as a key typed while held (its native key code, state,
// symbol and text), to be replayed later.
platform::TypedKey typedKeyOf(const QKeyEvent& event);

// Sends `keys` in order to the widget with the keyboard focus in `window`
// (the window itself when none has it), stopping if the window goes.
void replay(QWidget* window, const std::vector<platform::TypedKey>& keys);

}  // namespace held_keys

}  // namespace desktop
