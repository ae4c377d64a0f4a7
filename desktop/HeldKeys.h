#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include <QKeyEvent>

#include "platform/HotKeyBackend.h"

class QWidget;
struct xkb_compose_state;

namespace desktop {

// Keys the user typed while the keyboard was held for the panel, handed to
// the panel as if they had been typed into it: each a Qt key event with the
// window system's own key code and modifier state, so that text goes into
// the prompt and Return, Escape and Backspace do what they do there. Keys
// that only add text go into a text field as one insertion per run of them:
// a key event each would lay the field's text out again for every key.
namespace held_keys {

// Puts dead keys and compose sequences together, as the toolkit's input
// does for keys typed into a window (these keys never went through it),
// with the compose table of the locale the toolkit uses: LC_ALL, else
// LC_CTYPE, else LANG, else "C". Where that locale has none, nothing is
// composed.
class Composer {
public:
    Composer();
    ~Composer();
    Composer(const Composer&) = delete;
    Composer& operator=(const Composer&) = delete;

    enum class Outcome {
        plain,      // no sequence: the key types what it types
        swallowed,  // a key of a sequence not yet complete (or broken off)
        composed,   // the sequence is complete: `text` is what it types
    };
    // Feeds the symbol of a key press.
    Outcome feed(std::uint32_t keysym, std::string& text);
    // Whether a sequence is open, waiting for its next key.
    bool composing() const;
    void reset();

private:
    xkb_compose_state* state_ = nullptr;
    bool tried_ = false;
};

// Shift, Control, Alt, Super, the level and group shifts and the locks:
// keys that type nothing by themselves.
bool isModifier(std::uint32_t keysym);

// `autoRepeat`: the key was already down (a held key repeating).
std::unique_ptr<QKeyEvent> eventFor(const platform::HeldKeyEvent& key, bool autoRepeat);

// Sends `keys` in order to the widget with the keyboard focus in `window`
// (the window itself when none has it), composed with `composer`, stopping
// if the window goes. A sequence still open at the end stays open in the
// composer for the next key. Runs of presses that only add text (printable,
// without Control, Alt or Super) and their releases go into an editable
// QTextEdit with one insertion at its cursor, in their place among the
// other keys. A press that `isShortcut` names is sent as it came, never
// composed: a shortcut acts whether or not a sequence is open, and ends it.
void replay(QWidget* window, std::span<const platform::HeldKeyEvent> keys, Composer& composer,
            const std::function<bool(const platform::HeldKeyEvent&)>& isShortcut = {});

}  // namespace held_keys

}  // namespace desktop
