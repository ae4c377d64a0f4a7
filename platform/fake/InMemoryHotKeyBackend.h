#pragma once

#include <map>
#include <optional>
#include <vector>

#include "platform/HotKeyBackend.h"
#include "platform/fake/EventJournal.h"

namespace platform {

// A desktop that lives in memory: tests grab combinations, mark some as held
// by "another client", and press keys. It refuses what the real one refuses
// (validate(), combinations held elsewhere, the same combination twice).
class InMemoryHotKeyBackend final : public HotKeyBackend {
public:
    int registerHotKey(HotKeyCombination combination, HotKeyId id) override;
    void unregisterHotKey(HotKeyId id) override;
    void setHandler(Handler handler) override;
    std::vector<HotKeyCombination> reservedCombinations() override;
    void releaseActiveGrab() override { ++releaseActiveGrabCalls_; }
    // A hold is taken only from a press being delivered, as on X11; the
    // journal records "hold keyboard", "end keyboard hold", "end keyboard
    // hold after 3000ms", "type through hold: 37 down, ...", "end keyboard
    // hold typing: 38 down, ..." and "hold lost".
    bool holdKeyboard() override;
    bool holdsKeyboard() const override { return holding_; }
    std::vector<HeldKeyEvent> takeKeptKeys() override;
    std::vector<HeldKeyEvent> endKeyboardHold() override;
    bool endKeyboardHoldTyping(std::span<const SimulatedKeyEvent> keys) override;
    void endKeyboardHoldAfter(std::chrono::milliseconds delay) override;
    bool typeThroughHold(std::span<const SimulatedKeyEvent> keys) override;
    // Key codes given in `hotKeyCodes` stand for their combinations.
    bool isHotKeyPress(std::uint32_t keyCode, std::uint32_t state) const override;
    bool deliverKey(HotKeyEventKind kind, bool autoRepeat, std::uint32_t keyCode, std::uint32_t state,
                    std::uint32_t time) override;

    // Another client holds `combination`: our grabs of it fail.
    void occupy(HotKeyCombination combination);

    // Presses or releases a combination. Returns the handler's status, or
    // eventNotHandled when no grab matches or no handler is set.
    int press(HotKeyCombination combination);
    int release(HotKeyCombination combination);
    // Delivers an event with any id, as a foreign hot key would arrive.
    int deliver(HotKeyEventKind kind, HotKeyId id);

    bool isGrabbed(HotKeyCombination combination) const;
    std::size_t grabCount() const { return grabs_.size(); }
    int registerCalls() const { return registerCalls_; }
    int unregisterCalls() const { return unregisterCalls_; }
    bool hasHandler() const { return static_cast<bool>(handler_); }
    int releaseActiveGrabCalls() const { return releaseActiveGrabCalls_; }

    // The keys the user "types" while the keyboard is held, handed over
    // when asked for or when the hold ends.
    std::vector<HeldKeyEvent> heldKeys;
    // Window-system key codes of grabbed combinations, for held keys.
    std::map<std::uint32_t, HotKeyCombination> hotKeyCodes;
    // The grab taken back after typing through the hold is refused.
    bool refuseRegrab = false;
    EventJournal journal;

private:
    int send(HotKeyEventKind kind, HotKeyCombination combination);

    struct Grab {
        HotKeyId id;
        HotKeyCombination combination;
    };
    std::vector<Grab> grabs_;
    std::vector<HotKeyCombination> occupied_;
    Handler handler_;
    int registerCalls_ = 0;
    int unregisterCalls_ = 0;
    int releaseActiveGrabCalls_ = 0;
    bool delivering_ = false;
    bool holding_ = false;
    bool keeping_ = false;
};

}  // namespace platform
