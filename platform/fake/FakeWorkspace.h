#pragma once

#include <vector>

#include "platform/Workspace.h"
#include "platform/fake/EventJournal.h"

namespace platform {

// A desktop the test arranges: which application is frontmost, which windows
// still exist. Activation makes the application frontmost.
class FakeWorkspace final : public Workspace {
public:
    static constexpr int kOwnProcess = 4242;

    std::optional<RunningApplication> frontmostApplication() override { return frontmost; }
    bool activate(const RunningApplication& app) override;
    bool isAlive(const RunningApplication& app) override;
    // The frontmost application's window has the keyboard unless `focusElsewhere`.
    bool hasInputFocus(const RunningApplication& app) override {
        return !focusElsewhere && frontmost && frontmost->window == app.window;
    }
    bool holdsPseudoTerminal(const RunningApplication& app) override;
    int currentProcessIdentifier() const override { return kOwnProcess; }

    std::optional<RunningApplication> frontmost;
    std::vector<WindowId> closedWindows;  // activate and isAlive fail for these
    std::vector<RunningApplication> activations;
    bool focusElsewhere = false;  // an activation that does not take
    std::vector<int> pseudoTerminalHolders;  // processes holding a pseudo-terminal master
    EventJournal journal;
};

}  // namespace platform
