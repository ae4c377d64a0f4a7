#include "platform/fake/FakeWorkspace.h"

#include <algorithm>

namespace platform {

bool FakeWorkspace::isAlive(const RunningApplication& app) {
    return std::find(closedWindows.begin(), closedWindows.end(), app.window) == closedWindows.end();
}

bool FakeWorkspace::activate(const RunningApplication& app) {
    note(journal, "activate " + app.localizedName.value_or("?"));
    activations.push_back(app);
    if (!isAlive(app)) return false;
    frontmost = app;
    return true;
}

bool FakeWorkspace::holdsPseudoTerminal(const RunningApplication& app) {
    return std::find(pseudoTerminalHolders.begin(), pseudoTerminalHolders.end(), app.processIdentifier) !=
           pseudoTerminalHolders.end();
}

}  // namespace platform
