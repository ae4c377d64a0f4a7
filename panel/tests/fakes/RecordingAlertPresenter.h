#pragma once

#include <functional>
#include <vector>

#include "GlobalShortcuts/AlertPresenter.h"

namespace panel::testing {

// Records each alert and answers with `answer`.
class RecordingAlertPresenter final : public GlobalShortcuts::AlertPresenter {
public:
    int runModal(const GlobalShortcuts::Alert& alert, QWidget*) override {
        alerts.push_back(alert);
        if (whileShown) whileShown();
        return answer;
    }
    void beep() override { ++beeps; }

    std::vector<GlobalShortcuts::Alert> alerts;
    int answer = GlobalShortcuts::Alert::firstButtonReturn;
    int beeps = 0;
    // Runs while the alert is up, where the real one runs its own loop.
    std::function<void()> whileShown;
};

}  // namespace panel::testing
