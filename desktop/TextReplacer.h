#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/AccessibilityClient.h"
#include "platform/KeyboardEventPoster.h"
#include "platform/MainLoop.h"
#include "platform/MonotonicClock.h"
#include "platform/Pasteboard.h"
#include "platform/SelectionOwner.h"
#include "platform/Sleeper.h"
#include "platform/Workspace.h"

namespace desktop {

// The desktop services the capture and the paste-back work through.
struct TextReplacerPlatform {
    std::shared_ptr<platform::Workspace> workspace;
    std::shared_ptr<platform::AccessibilityClient> accessibility;
    std::shared_ptr<platform::KeyboardEventPoster> keyboard;
    std::shared_ptr<platform::Pasteboard> pasteboard;
    std::shared_ptr<platform::Sleeper> sleeper;
    // Serves the pasted answer, so the clipboard goes back once it is fetched.
    std::shared_ptr<platform::SelectionOwner> selectionOwner;
    // For the give-back's deadline; null: MainLoop::main().
    std::shared_ptr<platform::MainLoop> loop;
    // What every wait is measured on, however long a poll took; null: the
    // steady clock.
    std::shared_ptr<platform::MonotonicClock> clock;
};

// Reads the text the user selected in another application before the panel
// opens, and puts an answer in its place afterwards. The state is
// process-wide: the application the selection came from and the clipboard
// as it was before the capture. Main thread only; the waits block the
// caller (the sleeper keeps the clipboard answering meanwhile).
//
// Until `install` is called (and after `uninstall`) every operation
// does nothing and reads give none, so views can be built without a desktop.
class TextReplacer {
public:
    TextReplacer() = delete;

    // The program installs the real services at start-up; tests install fakes.
    static void install(TextReplacerPlatform services);
    static bool isInstalled();
    // Lets go of the services (and their X connections) with the state, at
    // the program's end, after the clipboard was given back.
    static void uninstall();

    // Tells windows of the panel apart from the program's other windows
    // (settings, help). The panel's owner installs it.
    static void setPanelWindowCheck(std::function<bool(platform::WindowId)> isPanelWindow);
    // Called before another window is activated or keys are typed into it:
    // lets go of the panel's keyboard and pointer grabs, which would take
    // those keys, and closes a panel that has the keyboard. The panel's
    // owner installs it.
    static void setBeforeTyping(std::function<void()> beforeTyping);
    // Asked before each copy key of a capture: true once the user cancelled
    // (Escape typed before the panel has the keyboard), and then no further
    // copy key is typed. The shortcuts' owner installs it.
    static void setCaptureCancelled(std::function<bool()> cancelled);

    // Remembers the frontmost application and its selection: read once and
    // kept here, clipboard untouched; else, after saving the clipboard, up to
    // three simulated copies (never in a terminal: a window of a terminal's
    // class, or whose process holds a pseudo-terminal master, judged here for
    // the paste-back too). Each copy key is exactly Control+C: it waits until
    // no modifier is down (one second for the whole capture), and a try that
    // still meets one is skipped; nothing is released for the user. The
    // copies stop when the keyboard's focus has left the window or that
    // window has become a terminal, or the user cancelled. An application
    // that does not answer the read gets no copy key either: nothing is
    // captured. A clipboard still waiting to go back after a
    // paste-back goes back first. Called before every
    // opening or toggling of the panel. While the panel itself is frontmost
    // it changes nothing; over another window of this program it remembers
    // no application and types nothing.
    static void captureSelection();

    // A one-shot prompt was sent: after a capture that left the clipboard
    // alone (the selection read from PRIMARY), the clipboard is read in the
    // background from now on, beside the request, so that the paste-back can
    // put every format back. The paste-back waits for it at most two seconds
    // beyond its own waits and takes what was read by then.
    static void keepClipboardForPasteBack();

    // The captured selection, when there is one.
    static std::optional<std::string> getSelectedText();

    // Pastes `text` over the selection in the remembered application: puts
    // it on the clipboard (and PRIMARY, for a terminal) and types the paste
    // keys once the application's window has the keyboard and no key is
    // down. The clipboard goes back to what it held before the capture
    // (read in the background since the prompt, or saved now when the
    // capture did not need it; what could not be read is named in the log)
    // when the application has fetched the answer, or after two seconds,
    // through the main loop. A clipboard none of which could be read is not
    // put back: the answer stays.
    // Does nothing before a capture. When the window is gone the answer is
    // left on the clipboard; when it does not have the keyboard once no key
    // is down (the user clicked elsewhere meanwhile, say) nothing is typed
    // and the clipboard goes back. A terminal gets the text without
    // control characters, and an answer of several lines is only left on its
    // clipboard and selection (an editor with a terminal pane gets it typed).
    static void replaceSelectedText(std::string_view text);

    // The program quits: a clipboard still waiting to go back goes back now.
    static void giveBackBeforeQuit();

    // The remembered application's selected text (or the whole value of its
    // focused field), read without typing anything.
    static std::optional<std::string> readSelectionViaAccessibility();

    // The panel closed without pasting: the clipboard goes back to what it
    // held before the capture, unless something other than the capture has
    // changed it since (a copy the user made meanwhile wins).
    static void panelClosedWithoutPasteBack();

    // The application the last capture came from, and the plain text the
    // clipboard held before the capture or its paste-back first changed it
    // (none while nothing has).
    static std::optional<platform::RunningApplication> lastActiveApp();
    static std::optional<std::string> savedClipboard();

    // Forgets the services, the check and the state.
    static void resetForTesting() { uninstall(); }
};

}  // namespace desktop
