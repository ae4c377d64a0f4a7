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
    int currentProcessIdentifier() const override { return kOwnProcess; }

    std::optional<RunningApplication> frontmost;
    std::vector<WindowId> closedWindows;  // activate and isAlive fail for these
    std::vector<RunningApplication> activations;
    EventJournal journal;
};

}  // namespace platform
