#include "desktop/KeyboardHold.h"

#include <algorithm>
#include <string>
#include <utility>

#include <xkbcommon/xkbcommon-keysyms.h>

#include "desktop/FloatingWindowController.h"
#include "desktop/FloatingWindowManager.h"
#include "desktop/HeldKeys.h"
#include "desktop/TextReplacer.h"
#include "platform/Logger.h"

namespace desktop {

namespace {

using namespace std::chrono_literals;
using platform::HeldKeyEvent;
using platform::HotKeyEventKind;

constexpr auto kPoll = 10ms;

const platform::Logger& logger() {
    static const platform::Logger log("quillary", "hotkeys");
    return log;
}

bool isEscapePress(const HeldKeyEvent& key) { return key.press && key.keysym == XKB_KEY_Escape; }

}  // namespace

std::vector<platform::SimulatedKeyEvent> typedKeys(const std::deque<HeldKeyEvent>& keys,
                                                   std::vector<std::uint32_t>* stillDown) {
    std::vector<platform::SimulatedKeyEvent> typed;
    std::vector<std::uint32_t> down;
    for (auto it = keys.begin(); it != keys.end(); ++it) {
        const auto code = it->keyCode;
        const bool isDown = std::ranges::find(down, code) != down.end();
        if (!it->press) {
            if (isDown) {
                typed.push_back({code, false});
                std::erase(down, code);
            }
            continue;
        }
        const bool released = std::any_of(std::next(it), keys.end(), [&](const HeldKeyEvent& later) {
            return !later.press && later.keyCode == code;
        });
        if (!released && stillDown) {
            if (std::ranges::find(*stillDown, code) == stillDown->end()) stillDown->push_back(code);
            continue;
        }
        typed.push_back({code, true});  // a repeat of a key already down types again, as held keys do
        if (!isDown) down.push_back(code);
    }
    return typed;
}

KeyboardHold::KeyboardHold(Services services, FloatingWindowManager& windows)
    : services_(std::move(services)), windows_(windows) {
    if (!services_.clock) services_.clock = platform::MonotonicClock::steady();
}

KeyboardHold::~KeyboardHold() {
    *alive_ = false;
    if (const auto hotKeys = backend()) hotKeys->setOnKeyKept(nullptr);
    end();
}

std::shared_ptr<platform::HotKeyBackend> KeyboardHold::backend() const {
    return services_.hotKeys ? services_.hotKeys() : nullptr;
}

void KeyboardHold::begin() {
    began_ = true;
    if (delivering_) return;  // the hold on goes on for this shortcut
    const auto hotKeys = backend();
    if (!hotKeys) return;
    // A new press (the last hold lost its grab and ended its keys' way
    // somewhere else): what that hold kept does not outlive it.
    if (active_) finish();
    if (!hotKeys->holdKeyboard()) return;
    active_ = true;
    if (services_.loop)
        hotKeys->setOnKeyKept([this, alive = std::weak_ptr<bool>(alive_)] {
            // Looked at on a later turn, once the backend has read what came.
            if (lookPosted_) return;
            lookPosted_ = true;
            services_.loop->post([this, alive] {
                if (const auto flag = alive.lock(); !flag || !*flag) return;
                lookPosted_ = false;
                keysCame();
            });
        });
}

void KeyboardHold::keysCame() {
    if (!active_ || busy_ || awaitingAction_) return;
    if (readyFor_ != 0) return routeToReadyPanel();
    take();
    const auto mark = firstMark();
    if (!mark) return;
    Busy busy(*this);
    if (!mark->shortcut) return cancelAt(mark->index);
    if (onlyModifiersBefore(mark->index)) return deliver(mark->index);
}

bool KeyboardHold::everyKeyCameUp() const {
    std::vector<std::uint32_t> down;
    typedKeys(queue_, &down);
    return down.empty();
}

bool KeyboardHold::onlyModifiersBefore(std::size_t index) const {
    for (std::size_t i = 0; i < index; ++i)
        if (queue_[i].press && !held_keys::isModifier(queue_[i].keysym)) return false;
    return true;
}

void KeyboardHold::take() {
    if (const auto hotKeys = backend())
        for (auto& key : hotKeys->takeKeptKeys()) queue_.push_back(std::move(key));
}

std::optional<KeyboardHold::Mark> KeyboardHold::firstMark() const {
    const auto hotKeys = backend();
    for (std::size_t i = 0; i < queue_.size(); ++i) {
        const auto& key = queue_[i];
        if (isEscapePress(key)) return Mark{i, false};
        if (key.press && hotKeys && hotKeys->isHotKeyPress(key.keyCode, key.state)) return Mark{i, true};
    }
    return std::nullopt;
}

bool KeyboardHold::cancelled() {
    if (!active_) return false;
    if (cancelled_) return true;
    take();
    const auto mark = firstMark();
    cancelled_ = mark && !mark->shortcut;
    return cancelled_;
}

bool KeyboardHold::cancelIfEscaped() {
    if (!cancelled()) return false;
    Busy busy(*this);
    if (const auto mark = firstMark()) cancelAt(mark->index);
    return true;
}

void KeyboardHold::actionDone() {
    if (!active_) return;
    Busy busy(*this);
    const bool ranAtItsPlace = std::exchange(awaitingAction_, false);
    const auto hotKeys = backend();
    if (windows_.state() == FloatingWindowManager::State::panelVisible) {
        // Its prompt takes the keys when it has the keyboard.
        panelGeneration_ = windows_.currentGeneration();
        if (hotKeys) hotKeys->endKeyboardHoldAfter(kPanelWait);
        return;
    }
    // The keys after a shortcut typed among the kept ones were typed with
    // no panel in mind once it closed the panel: the program gets them.
    if (ranAtItsPlace) return typeIntoProgram();
    // No panel: what was typed for it goes nowhere, but a shortcut typed
    // meanwhile still runs.
    take();
    if (const auto mark = firstMark(); mark && mark->shortcut) return deliver(mark->index);
    finish();
}

void KeyboardHold::panelReady() {
    readyFor_ = windows_.currentGeneration();
    // Told while other keys are on their way (inside a wait of theirs): the
    // panel gets its keys once they are through.
    if (busy_ || awaitingAction_) return;
    routeToReadyPanel();
}

void KeyboardHold::routeToReadyPanel() {
    const auto ready = std::exchange(readyFor_, 0);
    if (!active_ || ready == 0 || ready != windows_.currentGeneration()) return;
    // A panel other than the one the keys were typed for (that one closed
    // before it had them; this one was opened from the tray, say).
    if (ready != panelGeneration_) return finish();
    Busy busy(*this);
    take();
    const auto mark = firstMark();
    if (mark && !mark->shortcut) {
        cancelAt(mark->index);
    } else if (mark) {
        sendToPanel(mark->index);
        deliver(0);
    } else {
        sendToPanel(queue_.size());
        // What came until the hold let go goes after, whatever it is: the
        // user typed it within the last moment, into a panel that has the
        // keyboard from now on.
        if (const auto hotKeys = backend())
            for (auto& key : hotKeys->endKeyboardHold()) queue_.push_back(std::move(key));
        sendToPanel(queue_.size());
        finish();
    }
}

KeyboardHold::Busy::Busy(KeyboardHold& hold) : hold_(hold), outer_(std::exchange(hold.busy_, true)) {}

KeyboardHold::Busy::~Busy() {
    hold_.busy_ = outer_;
    if (!outer_ && !hold_.awaitingAction_ && hold_.readyFor_ != 0) hold_.routeToReadyPanel();
}

std::deque<HeldKeyEvent> KeyboardHold::takeFront(std::size_t count) {
    std::deque<HeldKeyEvent> keys;
    const auto hotKeys = backend();
    for (std::size_t i = 0; i < count && !queue_.empty(); ++i) {
        HeldKeyEvent key = std::move(queue_.front());
        queue_.pop_front();
        // The release of a shortcut run at its place is the shortcut's:
        // until it has it, a press of it again would count as a repeat.
        if (!key.press && hotKeys &&
            hotKeys->deliverKey(HotKeyEventKind::released, false, key.keyCode, key.state, key.time))
            continue;
        keys.push_back(std::move(key));
    }
    return keys;
}

void KeyboardHold::sendToPanel(std::size_t count) {
    const auto deque = takeFront(count);
    const std::vector<HeldKeyEvent> keys(deque.begin(), deque.end());
    auto* controller = windows_.windowController();
    if (!keys.empty() && controller && controller->window() && controller->window()->isPanelVisible())
        controller->window()->typeHeldKeys(keys);
}

void KeyboardHold::deliver(std::size_t index) {
    takeFront(index);
    const HeldKeyEvent key = std::move(queue_.front());
    queue_.pop_front();
    const auto hotKeys = backend();
    if (!hotKeys) return finish();
    // Its action is queued now and runs next; the keys after it wait for it.
    awaitingAction_ = true;
    cancelled_ = false;
    delivering_ = true;
    began_ = false;
    hotKeys->deliverKey(HotKeyEventKind::pressed, false, key.keyCode, key.state, key.time);
    delivering_ = false;
    // No action of ours came of it: nothing to wait for.
    if (!began_) {
        awaitingAction_ = false;
        finish();
    }
}

void KeyboardHold::cancelAt(std::size_t escape) {
    takeFront(escape + 1);
    cancelled_ = true;
    // Closed as on Escape, which gives the clipboard back; with no panel on
    // screen, the capture's clipboard goes back here.
    if (windows_.state() == FloatingWindowManager::State::panelVisible)
        windows_.windowController()->close();
    else
        TextReplacer::panelClosedWithoutPasteBack();
    typeIntoProgram();
}

bool KeyboardHold::waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = services_.clock->now() + limit;
    while (!done()) {
        if (services_.clock->now() >= deadline || !services_.sleeper) return false;
        services_.sleeper->sleep(kPoll);
    }
    return true;
}

void KeyboardHold::typeIntoProgram() {
    const auto hotKeys = backend();
    const auto app = TextReplacer::lastActiveApp();
    auto& keyboard = services_.keyboard;
    auto& workspace = services_.workspace;
    const auto focusBack = [&] { return !app || (workspace && workspace->hasInputFocus(*app)); };
    // The hold lets go once no key is down and every key kept has come up
    // again: the server cannot hand back a key it delivered to the hold (a
    // key still down cannot be pressed again for the program), and a key
    // typed now would take the user's modifiers still down with it. What is
    // typed meanwhile is kept too.
    bool settled = false;
    if (keyboard)
        settled = waitUntil(
            [&] {
                take();
                return !keyboard->isAnyKeyDown() && focusBack() && everyKeyCameUp();
            },
            kKeysUpWait);
    // Once it settled, a key pressed since is no key held at the bound: the
    // hold's end passes it on as it came, with what follows it.
    if (!settled) take();
    const auto mark = firstMark();
    if (mark && mark->shortcut && hotKeys && keyboard && focusBack()) {
        // The keys still down there are the shortcut's own modifiers.
        std::vector<std::uint32_t> shortcutKeys;
        const auto keys = typedKeys(takeFront(mark->index), &shortcutKeys);
        if (!keys.empty()) hotKeys->typeThroughHold(keys);
        return deliver(0);
    }
    if (!hotKeys || !keyboard || !focusBack()) {
        if (!queue_.empty())
            logger().info("The keys typed while the keyboard was held are dropped: the window they were typed for "
                          "does not have the keyboard");
        return finish();
    }
    // A key still down at the bound is the user's to let go of: dropped.
    std::vector<std::uint32_t> stillDown;
    const auto keys = typedKeys(takeFront(queue_.size()), &stillDown);
    if (!stillDown.empty())
        logger().info("Keys still held a second later are dropped: " + std::to_string(stillDown.size()));
    queue_.clear();
    active_ = false;
    cancelled_ = false;
    if (!hotKeys->endKeyboardHoldTyping(keys) && !keys.empty())
        logger().error("The keys typed while the keyboard was held could not be typed: it was no longer held");
}

void KeyboardHold::finish() {
    queue_.clear();
    const bool wasActive = std::exchange(active_, false);
    cancelled_ = false;
    awaitingAction_ = false;
    if (!wasActive) return;
    if (const auto hotKeys = backend()) hotKeys->endKeyboardHold();
}

void KeyboardHold::end() { finish(); }

}  // namespace desktop
