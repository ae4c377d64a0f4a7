#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/SelectionOwner.h"
#include "platform/fake/EventJournal.h"

namespace platform {

// Records what the program offered ("offer answer", "offer answer on both")
// and lets the test play the application that fetches it.
class FakeSelectionOwner final : public SelectionOwner {
public:
    bool offer(std::string text, Selections selections, const RunningApplication& pasteInto,
               std::function<void()> onFetched) override;
    bool ownsClipboard() override { return clipboard.has_value(); }
    void releaseClipboard() override {
        note(journal, "release clipboard");
        clipboard.reset();
    }

    // The application pasted: its request of the text arrives.
    void fetchByApplication() {
        if (onFetched) onFetched();
    }
    // Another program copied: the clipboard is no longer ours.
    void takenByOther() { clipboard.reset(); }

    std::optional<std::string> clipboard;
    std::optional<std::string> primary;
    std::optional<RunningApplication> pasteInto;
    std::function<void()> onFetched;
    EventJournal journal;
};

}  // namespace platform
