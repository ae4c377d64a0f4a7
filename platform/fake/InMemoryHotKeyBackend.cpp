#include "platform/fake/InMemoryHotKeyBackend.h"

#include <algorithm>
#include <string>
#include <utility>

namespace platform {

int InMemoryHotKeyBackend::registerHotKey(HotKeyCombination combination, HotKeyId id) {
    ++registerCalls_;
    if (const int status = validate(combination); status != hotkey_status::noErr)
        return status;
    if (std::ranges::find(occupied_, combination) != occupied_.end() || isGrabbed(combination))
        return hotkey_status::hotKeyExists;
    grabs_.push_back({id, combination});
    return hotkey_status::noErr;
}

void InMemoryHotKeyBackend::unregisterHotKey(HotKeyId id) {
    ++unregisterCalls_;
    std::erase_if(grabs_, [&](const Grab& grab) { return grab.id == id; });
}

void InMemoryHotKeyBackend::setHandler(Handler handler) { handler_ = std::move(handler); }

std::vector<HotKeyCombination> InMemoryHotKeyBackend::reservedCombinations() { return occupied_; }

void InMemoryHotKeyBackend::occupy(HotKeyCombination combination) { occupied_.push_back(combination); }

int InMemoryHotKeyBackend::press(HotKeyCombination combination) {
    return send(HotKeyEventKind::pressed, combination);
}

int InMemoryHotKeyBackend::release(HotKeyCombination combination) {
    return send(HotKeyEventKind::released, combination);
}

int InMemoryHotKeyBackend::deliver(HotKeyEventKind kind, HotKeyId id) {
    if (!handler_)
        return hotkey_status::eventNotHandled;
    const Handler handler = handler_;  // the handler may replace itself
    delivering_ = kind == HotKeyEventKind::pressed;
    const int status = handler(kind, id);
    delivering_ = false;
    return status;
}

bool InMemoryHotKeyBackend::holdKeyboard() {
    if (!delivering_ && !holding_)
        return false;
    if (!holding_)
        note(journal, "hold keyboard");
    holding_ = true;
    keeping_ = true;
    return true;
}

std::vector<HeldKeyEvent> InMemoryHotKeyBackend::takeKeptKeys() {
    return keeping_ ? std::exchange(heldKeys, {}) : std::vector<HeldKeyEvent>{};
}

std::vector<HeldKeyEvent> InMemoryHotKeyBackend::endKeyboardHold() {
    if (!keeping_)
        return {};
    holding_ = false;
    keeping_ = false;
    note(journal, "end keyboard hold");
    return std::exchange(heldKeys, {});
}

namespace {

std::string listed(std::string entry, std::span<const SimulatedKeyEvent> keys) {
    entry += ":";
    for (const auto& key : keys)
        entry += (entry.back() == ':' ? " " : ", ") + std::to_string(key.keyCode) + (key.down ? " down" : " up");
    return entry;
}

}  // namespace

bool InMemoryHotKeyBackend::endKeyboardHoldTyping(std::span<const SimulatedKeyEvent> keys) {
    if (!holding_) {
        endKeyboardHold();
        return false;
    }
    holding_ = false;
    keeping_ = false;
    // Kept but not taken yet: the real hold types them after `keys`, as they came.
    std::vector<SimulatedKeyEvent> late;
    for (const auto& key : std::exchange(heldKeys, {}))
        late.push_back({key.keyCode, key.press});
    note(journal, listed("end keyboard hold typing", keys) + (late.empty() ? "" : listed("; then", late)));
    return true;
}

void InMemoryHotKeyBackend::endKeyboardHoldAfter(std::chrono::milliseconds delay) {
    if (keeping_)
        note(journal, "end keyboard hold after " + std::to_string(delay.count()) + "ms");
}

bool InMemoryHotKeyBackend::typeThroughHold(std::span<const SimulatedKeyEvent> keys) {
    if (!holding_)
        return false;
    note(journal, listed("type through hold", keys));
    if (refuseRegrab) {
        holding_ = false;
        note(journal, "hold lost");
    }
    return true;
}

bool InMemoryHotKeyBackend::isHotKeyPress(std::uint32_t keyCode, std::uint32_t) const {
    const auto it = hotKeyCodes.find(keyCode);
    return it != hotKeyCodes.end() && isGrabbed(it->second);
}

bool InMemoryHotKeyBackend::deliverKey(HotKeyEventKind kind, bool, std::uint32_t keyCode, std::uint32_t state,
                                       std::uint32_t) {
    if (kind == HotKeyEventKind::pressed && !isHotKeyPress(keyCode, state))
        return false;
    const auto it = hotKeyCodes.find(keyCode);
    if (it == hotKeyCodes.end())
        return false;
    send(kind, it->second);
    return true;
}

int InMemoryHotKeyBackend::send(HotKeyEventKind kind, HotKeyCombination combination) {
    const auto it = std::ranges::find(grabs_, combination, &Grab::combination);
    if (it == grabs_.end())
        return hotkey_status::eventNotHandled;
    return deliver(kind, it->id);
}

bool InMemoryHotKeyBackend::isGrabbed(HotKeyCombination combination) const {
    return std::ranges::find(grabs_, combination, &Grab::combination) != grabs_.end();
}

}  // namespace platform
