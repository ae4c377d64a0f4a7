#include "platform/fake/FakeSelectionOwner.h"

namespace platform {

bool FakeSelectionOwner::offer(std::string text, Selections selections, const RunningApplication& app,
                               std::function<void()> fetched) {
    static constexpr const char* kWhere[] = {"", " on primary", " on both"};
    note(journal, "offer " + text + kWhere[static_cast<int>(selections)]);
    if (selections != Selections::clipboard) primary = text;
    if (selections != Selections::primary) clipboard = std::move(text);
    pasteInto = app;
    onFetched = std::move(fetched);
    return true;
}

}  // namespace platform
