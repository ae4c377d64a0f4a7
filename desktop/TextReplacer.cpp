#include "desktop/TextReplacer.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>

#include "platform/LastActiveApplication.h"
#include "platform/Logger.h"
#include "platform/Unicode.h"

namespace desktop {

using namespace std::chrono_literals;
using platform::SimulatedKey;

namespace {

constexpr auto kKeyStepWait = 50ms;   // between the events of a simulated copy
constexpr auto kCopySettleWait = 300ms;  // for the copied text to reach the clipboard
constexpr auto kActivationWait = 300ms;  // for the application to take the keyboard back
constexpr auto kPasteSettleWait = 200ms;  // for the application to read the pasted text
constexpr int kCopyAttempts = 3;

const platform::Logger& logger() {
    static const platform::Logger log("quillary", "selection");
    return log;
}

struct State {
    TextReplacerPlatform services;
    std::function<bool(platform::WindowId)> isPanelWindow;
    std::optional<platform::RunningApplication> lastActiveApp;
    std::optional<std::string> savedClipboard;
    platform::PasteboardSnapshot savedSnapshot;
    // Whether savedClipboard and savedSnapshot hold the clipboard of this
    // capture: taken only before something of ours changes it (a simulated
    // copy, a paste-back).
    bool clipboardSaved = false;
    // The selection read from PRIMARY, kept here instead of on the clipboard.
    std::optional<std::string> selection;
    // Whether this capture's selection is to be found on the clipboard.
    bool copied = false;
    // Set while the clipboard holds what a capture put there and has not
    // been given back: the plain text the capture left.
    bool restorePending = false;
    std::optional<std::string> clipboardLeftByCapture;
};

State& state() {
    static State s;
    return s;
}

bool installed() {
    const auto& s = state().services;
    return s.workspace && s.accessibility && s.keyboard && s.pasteboard && s.sleeper;
}

// WM_CLASS values of terminal emulators: there Control+C interrupts the
// running job, so copy and paste take Shift as well.
bool isTerminal(const platform::RunningApplication& app) {
    static constexpr std::array<std::string_view, 26> kTerminals = {
        "xterm",          "uxterm",          "urxvt",         "rxvt",          "alacritty",
        "kitty",          "gnome-terminal",  "gnome-terminal-server",          "konsole",
        "xfce4-terminal", "tilix",           "terminator",    "st",            "st-256color",
        "foot",           "footclient",      "wezterm",       "org.wezfurlong.wezterm",
        "mate-terminal",  "lxterminal",      "qterminal",     "terminology",   "sakura",
        "guake",          "tilda",           "yakuake"};
    auto lower = [](std::string text) {
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return text;
    };
    for (const auto& field : {app.localizedName, app.bundleIdentifier}) {
        if (!field) continue;
        const auto name = lower(*field);
        if (std::find(kTerminals.begin(), kTerminals.end(), name) != kTerminals.end()) return true;
    }
    return false;
}

void press(SimulatedKey key, bool down) {
    // An event that cannot be made is left out; the waits around it still run.
    if (!state().services.keyboard->post(key, down))
        logger().error(std::string("Cannot type the key ") + std::string(platform::toString(key)));
}

void simulateCopy(bool terminal) {
    auto& s = state().services;
    press(SimulatedKey::control, true);
    if (terminal) press(SimulatedKey::shift, true);
    s.sleeper->sleep(kKeyStepWait);
    press(SimulatedKey::c, true);
    s.sleeper->sleep(kKeyStepWait);
    press(SimulatedKey::c, false);
    s.sleeper->sleep(kKeyStepWait);
    if (terminal) press(SimulatedKey::shift, false);
    press(SimulatedKey::control, false);
}

void simulatePaste(bool terminal) {
    press(SimulatedKey::control, true);
    if (terminal) press(SimulatedKey::shift, true);
    press(SimulatedKey::v, true);
    press(SimulatedKey::v, false);
    if (terminal) press(SimulatedKey::shift, false);
    press(SimulatedKey::control, false);
}

// Keeps what the clipboard holds before the capture or the paste-back first
// changes it (every format, and its plain text to compare copies with).
void saveClipboard() {
    auto& s = state();
    if (s.clipboardSaved) return;
    s.savedClipboard = s.services.pasteboard->string();
    s.savedSnapshot = s.services.pasteboard->snapshot();
    s.clipboardSaved = true;
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
    else
        s.services.pasteboard->restore(s.savedSnapshot);
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

void forgetSelection() {
    auto& s = state();
    s.selection.reset();
    s.copied = false;
    s.clipboardSaved = false;
    s.savedClipboard.reset();
    s.savedSnapshot = {};
}

void remember(std::optional<platform::RunningApplication> app) {
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

std::optional<platform::RunningApplication> TextReplacer::lastActiveApp() { return state().lastActiveApp; }

std::optional<std::string> TextReplacer::savedClipboard() { return state().savedClipboard; }

void TextReplacer::resetForTesting() {
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
    auto front = services.workspace->frontmostApplication();
    if (front && front->processIdentifier == services.workspace->currentProcessIdentifier()) {
        // Over the panel the earlier capture still holds: the clipboard
        // keeps the selection it brought and the application stays the one
        // to paste into. Over another window of ours nothing of ours is a
        // place to paste an answer into.
        if (s.isPanelWindow && s.isPanelWindow(front->window)) return;
        giveBackUnlessChanged();
        remember(std::nullopt);
        forgetSelection();
        return;
    }

    remember(front);
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

    saveClipboard();
    s.copied = true;
    services.keyboard->releaseHeldKeys();
    const bool terminal = front && isTerminal(*front);
    s.restorePending = true;
    for (int attempt = 1; attempt <= kCopyAttempts; ++attempt) {
        simulateCopy(terminal);
        services.sleeper->sleep(kCopySettleWait);
        s.clipboardLeftByCapture = services.pasteboard->string();
        if (differsFromSaved(s.clipboardLeftByCapture)) return;
    }
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
    const auto leaveOnClipboard = [&] {
        logger().info("The window of " + app.localizedName.value_or("the application") +
                      " is gone: the answer stays on the clipboard");
        services.pasteboard->setString(text);
        s.restorePending = false;
    };
    if (!services.workspace->activate(app)) return leaveOnClipboard();
    services.sleeper->sleep(kActivationWait);
    if (!services.workspace->isAlive(app)) return leaveOnClipboard();
    saveClipboard();
    services.pasteboard->setString(text);
    services.keyboard->releaseHeldKeys();
    simulatePaste(isTerminal(app));
    services.sleeper->sleep(kPasteSettleWait);
    if (!s.savedSnapshot.empty() || s.savedClipboard)
        restoreSavedClipboard();
    else
        s.restorePending = false;  // nothing to give back: the answer stays
}

void TextReplacer::panelClosedWithoutPasteBack() {
    if (installed()) giveBackUnlessChanged();
}

}  // namespace desktop
