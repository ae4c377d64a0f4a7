#pragma once

#include <functional>
#include <vector>

#include "desktop/PanelWindow.h"

namespace desktop::testing {

// A panel window that only knows whether it is shown (and, when asked,
// says when it goes).
class ShownFlagWindow final : public PanelWindow {
public:
    ~ShownFlagWindow() override {
        if (onGone) onGone();
    }
    int panelHeight() const override { return 48; }
    void moveTo(QPoint) override {}
    void showPanel() override { visible = true; }
    void closePanel() override { visible = false; }
    bool isPanelVisible() const override { return visible; }
    void setOnDeactivate(std::function<void()>) override {}
    void setOnReadyForKeys(std::function<void()> ready) override { onReady = std::move(ready); }
    void typeHeldKeys(std::span<const platform::HeldKeyEvent> keys) override {
        typed.insert(typed.end(), keys.begin(), keys.end());
    }
    bool visible = false;
    std::function<void()> onGone;
    std::function<void()> onReady;
    std::vector<platform::HeldKeyEvent> typed;
};

}  // namespace desktop::testing
