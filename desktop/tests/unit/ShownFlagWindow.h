#pragma once

#include <functional>

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
    bool visible = false;
    std::function<void()> onGone;
};

}  // namespace desktop::testing
