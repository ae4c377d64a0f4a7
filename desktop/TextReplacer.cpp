#include "desktop/TextReplacer.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstddef>

#include "platform/LastActiveApplication.h"
#include "platform/Logger.h"
#include "platform/Unicode.h"

namespace desktop {

using namespace std::chrono_literals;
using platform::SimulatedKey;

namespace {

constexpr auto kCopySettleWait = 300ms;  // for the copied text to reach the clipboard
constexpr auto kActivationWait = 300ms;  // for the application to take the keyboard back
constexpr auto kKeysUpPoll = 10ms;       // between looks at the keyboard
// Before a paste a key held longer is released for the user; before the
// copies, one budget for all their waits for modifiers to come up.
constexpr auto kKeysUpLimit = 1000ms;
// The previous clipboard goes back when the application has fetched the
// answer, or after this long (an application that never asks).
constexpr auto kGiveBackDeadline = 2000ms;
// How much longer than its own waits the paste-back waits for the clipboard
// read in the background.
constexpr auto kSnapshotWait = 2000ms;
constexpr int kHandOverAttempts = 5;
constexpr auto kHandOverRetry = 50ms;
constexpr int kCopyAttempts = 3;
constexpr const char* kPlainText = "text/plain";

const platform::Logger& logger() {
    static const platform::Logger log("quillary", "selection");
    return log;
}

struct State {
    TextReplacerPlatform services;
    std::function<bool(platform::WindowId)> isPanelWindow;
    std::function<void()> beforeTyping;
    std::function<bool()> captureCancelled;
    std::optional<platform::RunningApplication> lastActiveApp;
    // How lastActiveApp's window takes text, judged at its capture: a
    // terminal gets no copy key and a Shift+Insert paste without control
    // characters; an answer of several lines is typed only where this says.
    bool terminal = false;
    bool severalLinesTyped = true;
    std::optional<std::string> savedClipboard;
    platform::PasteboardSnapshot savedSnapshot;
    // Whether savedClipboard and savedSnapshot hold the clipboard of this
    // capture: taken only before something of ours changes it (a simulated
    // copy, a paste-back).
    bool clipboardSaved = false;
    // Set while the clipboard is read in the background for the paste-back.
    bool keeping = false;
    // The selection read from PRIMARY, kept here instead of on the clipboard.
    std::optional<std::string> selection;
    // Whether this capture's selection is to be found on the clipboard.
    bool copied = false;
    // Set while the clipboard holds what a capture put there and has not
    // been given back: the plain text the capture left.
    bool restorePending = false;
    std::optional<std::string> clipboardLeftByCapture;
    // Set from the start of a paste-back until the next capture: closing the
    // panel is then the paste-back's doing (its activation takes the focus).
    bool pasteBackStarted = false;
    // Set while the answer waits on the clipboard for the application to
    // fetch it; the timer ends the wait.
    bool pastePending = false;
    platform::MainLoop::Id giveBackTimer = 0;
    platform::MainLoop::Id handOverTimer = 0;
    std::string answer;
};

State& state() {
    static State s;
    return s;
}

bool installed() {
    const auto& s = state().services;
    return s.workspace && s.accessibility && s.keyboard && s.pasteboard && s.sleeper && s.selectionOwner;
}

platform::MainLoop& loop() {
    auto& s = state().services;
    if (!s.loop) s.loop = platform::MainLoop::main();
    return *s.loop;
}

// Polls `done` until it holds or `limit` has passed, measured on the clock:
// a poll that runs long (other programs answered meanwhile) counts for as
// long as it took. Whether `done` held.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    auto& s = state().services;
    if (!s.clock) s.clock = platform::MonotonicClock::steady();
    const auto deadline = s.clock->now() + limit;
    while (!done()) {
        if (s.clock->now() >= deadline) return false;
        s.sleeper->sleep(kKeysUpPoll);
    }
    return true;
}

// Whether the class or instance of `app`'s window, in any capitalisation,
// is one of `names` (a name ending in "*" stands for every name it begins).
template <std::size_t N>
bool namedAs(const platform::RunningApplication& app, const std::string_view (&names)[N]) {
    for (const auto& field : {app.localizedName, app.bundleIdentifier}) {
        if (!field) continue;
        std::string name = *field;
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        for (const std::string_view known : names) {
            const bool prefix = !known.empty() && known.back() == '*';
            if (prefix ? name.rfind(known.substr(0, known.size() - 1), 0) == 0 : name == known) return true;
        }
    }
    return false;
}

// WM_CLASS values of terminal emulators. There Control+C interrupts the
// running job and some turn Control+Shift+C/V into ^C, ^L and ^V, so no
// copy key is sent (every X terminal puts its selection on PRIMARY, which
// the selection read takes) and the paste is Shift+Insert.
constexpr std::string_view kTerminals[] = {
    "xterm", "uxterm", "urxvt", "rxvt", "alacritty", "kitty", "gnome-terminal", "gnome-terminal-server", "konsole",
    "xfce4-terminal", "tilix", "terminator", "st", "st-256color", "foot", "footclient", "wezterm",
    "org.wezfurlong.wezterm", "mate-terminal", "lxterminal", "qterminal", "terminology", "sakura", "guake", "tilda",
    "yakuake", "kgx", "org.gnome.console", "ptyxis", "org.gnome.ptyxis", "mlterm", "ghostty",
    "com.mitchellh.ghostty", "cool-retro-term", "eterm", "aterm", "mrxvt", "roxterm", "termite", "hyper", "tabby",
    "rio", "contour", "zutty", "deepin-terminal", "io.elementary.terminal", "com.raggesilver.blackbox"};

// Editors with a terminal pane: their process holds a pseudo-terminal, but
// their main window is an editor, where an answer of several lines is
// pasted as it is.
constexpr std::string_view kEditorsWithTerminalPane[] = {
    "code", "code-oss", "vscodium", "cursor", "kate", "kdevelop", "emacs", "geany", "gvim", "qtcreator",
    "jetbrains-*"};

// A terminal is one by its class or by its process holding a
// pseudo-terminal master (a terminal whatever its name; a process that
// cannot be inspected leaves the class alone to tell).
bool isTerminal(const platform::RunningApplication& app) {
    return namedAs(app, kTerminals) || state().services.workspace->holdsPseudoTerminal(app);
}

// How the window of a capture takes text, judged once at the capture and
// kept for that panel's paste-back.
void judgeWindow(const std::optional<platform::RunningApplication>& app) {
    auto& s = state();
    s.terminal = app && isTerminal(*app);
    s.severalLinesTyped = !s.terminal || namedAs(*app, kEditorsWithTerminalPane);
}

// Modifier and key go out with nothing of ours between them: until the
// panel has the keyboard the user's typing is held for it, and let go of
// only for these four events. An event that cannot be made is left out.
void chord(SimulatedKey modifier, SimulatedKey key) {
    if (!state().services.keyboard->postChord(modifier, key))
        logger().error(std::string("Cannot type the key ") + std::string(platform::toString(modifier)) + "+" +
                       std::string(platform::toString(key)));
}

void releasePanelGrabs() {
    if (state().beforeTyping) state().beforeTyping();
}

// Before the paste: a modifier the user lets go of after we pressed our own
// Control or Shift would let go of ours too, and a key still held would
// join them. Only keys held past the limit are released for the user.
void waitUntilKeysAreUp() {
    releasePanelGrabs();
    auto& keyboard = *state().services.keyboard;
    waitUntil([&] { return !keyboard.isAnyKeyDown(); }, kKeysUpLimit);
    keyboard.releaseHeldKeys();
}

// Whether the next copy key may go to `app`'s window: the user has not
// cancelled, and the keyboard's focus is still in that window, which is
// still no terminal (a window activated meanwhile, or a terminal pane
// opened, would get Control+C: in a terminal that interrupts its job).
bool mayCopyInto(const platform::RunningApplication& app) {
    auto& s = state();
    if (s.captureCancelled && s.captureCancelled()) return false;
    if (!s.services.workspace->hasInputFocus(app) || isTerminal(app)) {
        logger().info("The keyboard left the window of " +
                      platform::outsideText(app.localizedName.value_or("the application")) +
                      " during the capture: no further copy key");
        return false;
    }
    return true;
}

void simulateCopy() { chord(SimulatedKey::control, SimulatedKey::c); }

void simulatePaste(bool terminal) {
    chord(terminal ? SimulatedKey::shift : SimulatedKey::control, terminal ? SimulatedKey::insert : SimulatedKey::v);
}

// The answer as a terminal gets it: no control characters but tab and line
// feed (an escape sequence in an answer could end a bracketed paste or move
// the cursor; CRLF becomes LF), no DEL, no C1 controls, and no line feed at
// the end, which would run the line.
std::string terminalText(std::string_view text) {
    const std::string valid = platform::unicode::sanitizeUtf8(text);
    std::string out;
    out.reserve(valid.size());
    for (std::size_t i = 0; i < valid.size(); ++i) {
        const auto c = static_cast<unsigned char>(valid[i]);
        if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7F) continue;
        if (c == 0xC2 && i + 1 < valid.size() && static_cast<unsigned char>(valid[i + 1]) <= 0x9F) {
            ++i;  // U+0080 to U+009F
            continue;
        }
        out += static_cast<char>(c);
    }
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

// The plain text among a snapshot's formats.
std::optional<std::string> textIn(const platform::PasteboardSnapshot& snapshot) {
    for (const auto& [type, bytes] : snapshot.formats)
        if (type == "UTF8_STRING" || type == kPlainText) return platform::unicode::sanitizeUtf8(bytes);
    return std::nullopt;
}

void stopKeeping() {
    auto& s = state();
    if (!s.keeping) return;
    s.keeping = false;
    s.services.pasteboard->endSnapshot();
}

// Keeps what the clipboard holds before the capture or the paste-back first
// changes it (every format, and its plain text to compare copies with): the
// snapshot read in the background when there is one, frozen here, right
// before the paste-back claims the clipboard. What could not be kept is
// named; `replacedBy` says what stays when none of it could be read.
void saveClipboard(std::string_view replacedBy) {
    auto& s = state();
    if (s.clipboardSaved) return;
    auto& pasteboard = *s.services.pasteboard;
    if (s.keeping) {
        s.keeping = false;
        s.savedSnapshot = pasteboard.endSnapshot();
        s.savedClipboard = textIn(s.savedSnapshot);
    } else {
        // The snapshot first: an owner that did not answer it is not asked
        // again for the text, so the two take a second at most. Its text is
        // the one to compare copies with; asked again, an owner that was
        // slow in another format would give none.
        s.savedSnapshot = pasteboard.snapshot();
        s.savedClipboard = textIn(s.savedSnapshot);
        if (!s.savedClipboard) s.savedClipboard = pasteboard.string();
    }
    s.clipboardSaved = true;
    const auto& lost = s.savedSnapshot.lost;
    if (lost.empty()) return;
    // Other programs name their formats: the list is theirs, escaped and
    // cut before the sentence ends.
    std::string names;
    for (std::size_t i = 0; i < lost.size(); ++i) names += (i ? ", " : "") + lost[i];
    std::string line = "The clipboard could not be kept whole: " + platform::outsideText(names);
    if (s.savedSnapshot.empty() && !s.savedClipboard)
        line += "; nothing of it could be read, " + std::string(replacedBy) + " is left in its place";
    logger().error(line);
}

// The paste-back waits for the background read a while beyond its own
// waits, answering other programs meanwhile.
void waitForClipboard() {
    if (!state().keeping) return;
    waitUntil([] { return state().services.pasteboard->snapshotReady(); }, kSnapshotWait);
}

bool differsFromSaved(const std::optional<std::string>& text) {
    return text && (!state().savedClipboard || *text != *state().savedClipboard);
}

// Puts back what the clipboard held before the capture: every format when
// they could be read, else the plain text (an empty clipboard stays empty).
void restoreSavedClipboard() {
    auto& s = state();
    if (s.savedSnapshot.empty() && s.savedClipboard)
        s.services.pasteboard->setString(*s.savedClipboard);
    else if (!s.savedSnapshot.empty() || s.savedSnapshot.lost.empty())
        s.services.pasteboard->restore(s.savedSnapshot);
    // else it held something none of which could be read: emptying it would
    // not bring that back either.
    s.restorePending = false;
}

// The clipboard goes back to what it held before the capture, unless
// something other than the capture changed it since.
void giveBackUnlessChanged() {
    auto& s = state();
    if (!s.restorePending) return;
    if (s.services.pasteboard->string() != s.clipboardLeftByCapture) {
        s.restorePending = false;  // the user copied something since: theirs wins
        return;
    }
    restoreSavedClipboard();
}

void handOverClipboard(int attemptsLeft);

void giveBackAfterPaste() {
    auto& s = state();
    if (!s.pastePending) return;
    s.pastePending = false;
    loop().cancel(s.giveBackTimer);
    // A moment later: the toolkit's clock must first catch up with the
    // answer's ownership, or the server refuses the toolkit's claim.
    s.handOverTimer = loop().addTimer(kHandOverRetry, false, [] { handOverClipboard(kHandOverAttempts); });
}

// What the clipboard held before the capture; the answer when it held
// nothing (the answer then stays).
platform::PasteboardSnapshot previousClipboard() {
    auto& s = state();
    if (!s.savedSnapshot.empty()) return s.savedSnapshot;
    return {{{kPlainText, s.savedClipboard.value_or(s.answer)}}};
}

// The clipboard goes from the answer's owner to the toolkit's clipboard. A
// claim the server refused (the toolkit's clock still behind) is tried again
// on later turns; as a last resort the answer's owner lets go, so that no
// read of the clipboard in this program waits on itself. Nothing is read
// back meanwhile, for the same reason.
void handOverClipboard(int attemptsLeft) {
    auto& s = state();
    auto& owner = *s.services.selectionOwner;
    s.handOverTimer = 0;
    if (!owner.ownsClipboard()) return;  // another program's copy wins
    s.services.pasteboard->restore(previousClipboard());
    s.restorePending = false;
    if (!owner.ownsClipboard()) return;
    if (attemptsLeft > 0) {
        s.handOverTimer = loop().addTimer(kHandOverRetry, false, [attemptsLeft] { handOverClipboard(attemptsLeft - 1); });
        return;
    }
    logger().error("The clipboard could not be given back; it is left empty");
    owner.releaseClipboard();
}

// A hand-over still waiting to be tried again is finished now.
void finishGiveBack() {
    giveBackAfterPaste();
    auto& s = state();
    if (!s.handOverTimer) return;
    loop().cancel(s.handOverTimer);
    handOverClipboard(0);
}

void forgetSelection() {
    auto& s = state();
    stopKeeping();
    s.selection.reset();
    s.copied = false;
    s.clipboardSaved = false;
    s.savedClipboard.reset();
    s.savedSnapshot = {};
}

void remember(std::optional<platform::RunningApplication> app) {
    judgeWindow(app);
    if (app)
        platform::LastActiveApplication::set(platform::RunningApplicationInfo{app->localizedName, app->bundleIdentifier});
    else
        platform::LastActiveApplication::set(std::nullopt);
    state().lastActiveApp = std::move(app);
}

}  // namespace

void TextReplacer::install(TextReplacerPlatform services) { state().services = std::move(services); }

bool TextReplacer::isInstalled() { return installed(); }

void TextReplacer::setPanelWindowCheck(std::function<bool(platform::WindowId)> isPanelWindow) {
    state().isPanelWindow = std::move(isPanelWindow);
}

void TextReplacer::setBeforeTyping(std::function<void()> beforeTyping) {
    state().beforeTyping = std::move(beforeTyping);
}

void TextReplacer::setCaptureCancelled(std::function<bool()> cancelled) {
    state().captureCancelled = std::move(cancelled);
}

std::optional<platform::RunningApplication> TextReplacer::lastActiveApp() { return state().lastActiveApp; }

std::optional<std::string> TextReplacer::savedClipboard() { return state().savedClipboard; }

void TextReplacer::uninstall() {
    if (const auto& loop = state().services.loop) {
        loop->cancel(state().giveBackTimer);
        loop->cancel(state().handOverTimer);
    }
    state() = State{};
    platform::LastActiveApplication::set(std::nullopt);
}

std::optional<std::string> TextReplacer::readSelectionViaAccessibility() {
    auto& s = state();
    if (!installed() || !s.lastActiveApp) return std::nullopt;
    using Attribute = platform::AccessibilityClient::Attribute;
    using State = platform::AccessibilityClient::FocusedElement::State;
    auto& ax = *s.services.accessibility;
    const auto& app = *s.lastActiveApp;
    const auto focused = ax.focusedElement(app);
    if (focused.state == State::failed) return ax.text(app, std::nullopt, Attribute::selectedText);
    if (focused.state == State::noElement) return std::nullopt;
    if (auto selected = ax.text(app, focused.element, Attribute::selectedText)) return selected;
    if (ax.lastReadUnanswered()) return std::nullopt;
    return ax.text(app, focused.element, Attribute::value);
}

void TextReplacer::captureSelection() {
    if (!installed()) return;
    auto& s = state();
    auto& services = s.services;
    finishGiveBack();
    auto front = services.workspace->frontmostApplication();
    if (front && front->processIdentifier == services.workspace->currentProcessIdentifier()) {
        // Over the panel the earlier capture still holds: the clipboard
        // keeps the selection it brought and the application stays the one
        // to paste into. Over another window of ours nothing of ours is a
        // place to paste an answer into.
        if (s.isPanelWindow && s.isPanelWindow(front->window)) return;
        s.pasteBackStarted = false;
        giveBackUnlessChanged();
        remember(std::nullopt);
        forgetSelection();
        return;
    }

    remember(front);
    s.pasteBackStarted = false;
    // A clipboard not yet given back from an earlier capture holds that
    // capture's selection, not the user's own copy.
    giveBackUnlessChanged();
    forgetSelection();

    // Read once, kept for the panel: the clipboard (and a clipboard manager
    // recording it) never sees the selection.
    if (auto selected = readSelectionViaAccessibility()) {
        s.selection = std::move(selected);
        return;
    }
    if (services.accessibility->lastReadUnanswered()) {
        // A program that does not answer would not answer a copy either.
        logger().info("The selection's owner did not answer: nothing is captured");
        return;
    }

    // No copy key into a terminal (its selection is PRIMARY), nor where no
    // window has the keyboard.
    if (s.terminal || !front) return;
    saveClipboard("the copied selection");
    s.copied = true;
    releasePanelGrabs();
    s.restorePending = true;
    // The copy key is exactly Control+C: a Shift still down would make it
    // Control+Shift+C, a command of its own in many programs. Nothing is
    // released for the user: that cannot clear a key held on a real
    // keyboard, and where it can, their next letters lose their Shift. So
    // a try waits for the modifiers, and one that still meets one once the
    // capture's budget is spent is skipped.
    auto& keyboard = *services.keyboard;
    if (!s.services.clock) s.services.clock = platform::MonotonicClock::steady();
    auto& clock = *s.services.clock;
    std::chrono::milliseconds budget = kKeysUpLimit;
    for (int attempt = 1; attempt <= kCopyAttempts; ++attempt) {
        if (!mayCopyInto(*front)) return;
        const auto waitStart = clock.now();
        const bool up = waitUntil([&] { return !keyboard.isAnyModifierDown(); }, budget);
        budget -= std::min(budget, std::chrono::duration_cast<std::chrono::milliseconds>(clock.now() - waitStart));
        if (!up) continue;
        // Looked at again right before the key: the wait may have been long.
        if (!mayCopyInto(*front)) return;
        simulateCopy();
        services.sleeper->sleep(kCopySettleWait);
        s.clipboardLeftByCapture = services.pasteboard->string();
        if (differsFromSaved(s.clipboardLeftByCapture)) return;
    }
}

void TextReplacer::keepClipboardForPasteBack() {
    if (!installed()) return;
    auto& s = state();
    // A capture by copy saved it before its copy key already.
    if (!s.lastActiveApp || s.clipboardSaved || s.keeping) return;
    s.keeping = true;
    s.services.pasteboard->beginSnapshot();
}

std::optional<std::string> TextReplacer::getSelectedText() {
    if (!installed()) return std::nullopt;
    auto& s = state();
    if (s.selection) return s.selection;
    if (!s.copied) return std::nullopt;
    auto& pasteboard = *s.services.pasteboard;
    const auto decoded = [&pasteboard]() -> std::optional<std::string> {
        auto bytes = pasteboard.data();
        if (!bytes || !platform::unicode::isValidUtf8(*bytes)) return std::nullopt;
        return bytes;
    };
    auto text = pasteboard.string();
    if (differsFromSaved(text)) {
        auto raw = decoded();
        if (raw && platform::unicode::characterCount(*raw) > platform::unicode::characterCount(*text)) return raw;
        return text;
    }
    auto raw = decoded();
    if (!raw) return std::nullopt;
    if (differsFromSaved(raw)) return raw;
    return std::nullopt;
}

void TextReplacer::replaceSelectedText(std::string_view text) {
    if (!installed()) return;
    auto& s = state();
    if (!s.lastActiveApp) return;
    auto& services = s.services;
    const auto app = *s.lastActiveApp;
    // Another program's name, as it goes into log lines.
    const std::string name = platform::outsideText(app.localizedName.value_or("the application"));
    s.pasteBackStarted = true;
    finishGiveBack();  // an earlier answer's wait ends here
    const auto leaveOnClipboard = [&] {
        stopKeeping();
        logger().info("The window of " + name + " is gone: the answer stays on the clipboard");
        services.pasteboard->setString(text);
        s.restorePending = false;
    };
    releasePanelGrabs();
    if (!services.workspace->activate(app)) return leaveOnClipboard();
    services.sleeper->sleep(kActivationWait);
    if (!services.workspace->isAlive(app)) return leaveOnClipboard();

    const bool terminal = s.terminal;
    const std::string answer = terminal ? terminalText(text) : std::string(text);
    using Selections = platform::SelectionOwner::Selections;
    if (!s.severalLinesTyped && answer.find('\n') != std::string::npos) {
        // A shell without bracketed paste would run each line as it comes.
        logger().info("The answer has more than one line: it is left on the clipboard and the selection, not "
                      "typed into the terminal");
        stopKeeping();
        services.selectionOwner->offer(answer, Selections::primary, app, {});
        services.pasteboard->setString(answer);
        s.restorePending = false;
        return;
    }
    waitForClipboard();
    waitUntilKeysAreUp();
    // Looked at after the waits, right before the keys: the user may have
    // clicked into another window meanwhile, and a paste typed now would go
    // wherever the keyboard is.
    if (!services.workspace->hasInputFocus(app)) {
        logger().info("The window of " + name + " does not have the keyboard: the answer is not typed");
        stopKeeping();
        giveBackUnlessChanged();
        return;
    }
    saveClipboard("the answer");  // frozen from the claim on: the claim is ours
    if (!services.selectionOwner->offer(answer, terminal ? Selections::both : Selections::clipboard, app,
                                        [] { giveBackAfterPaste(); })) {
        logger().error("Cannot put the answer on the clipboard: it is not typed");
        giveBackUnlessChanged();
        return;
    }
    // From here the clipboard goes back once the application has the answer.
    s.restorePending = false;
    s.answer = answer;
    s.pastePending = true;
    s.giveBackTimer = loop().addTimer(kGiveBackDeadline, false, [] { giveBackAfterPaste(); });
    simulatePaste(terminal);
}

void TextReplacer::giveBackBeforeQuit() {
    if (!installed()) return;
    finishGiveBack();
    giveBackUnlessChanged();
}

void TextReplacer::panelClosedWithoutPasteBack() {
    // The paste-back's own activation takes the keyboard from the panel: that
    // close is no close without a paste-back.
    if (!installed() || state().pasteBackStarted) return;
    stopKeeping();
    giveBackUnlessChanged();
}

}  // namespace desktop
