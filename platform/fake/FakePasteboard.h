#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/Pasteboard.h"
#include "platform/fake/EventJournal.h"

namespace platform {

// A clipboard in memory. Text goes in as "text/plain" (UTF-8); `string()`
// decodes it the way a toolkit does, with invalid bytes replaced, while
// `data()` hands over the bytes as they are.
class FakePasteboard final : public Pasteboard {
public:
    static constexpr const char* kTextType = "text/plain";

    std::optional<std::string> string() override;
    std::optional<std::string> data() override;
    bool setString(std::string_view text) override;
    PasteboardSnapshot snapshot(std::size_t limit = kSnapshotLimit) override;
    bool restore(const PasteboardSnapshot& snapshot) override;
    void beginSnapshot() override;
    bool snapshotReady() override { return backgroundReady; }
    PasteboardSnapshot endSnapshot() override;

    // What another program's copy does: replaces every format.
    void copyFromOtherProgram(std::string_view text) { contents = {{{kTextType, std::string(text)}}}; }

    PasteboardSnapshot contents;
    int writes = 0;  // setString and restore calls
    // Another program takes the clipboard back at once: setString fails.
    bool takenBack = false;
    std::function<void()> onWrite;  // after each setString and restore
    // Formats whose owner does not answer: snapshots leave them out and
    // name them.
    std::vector<std::string> silentFormats;
    // The background snapshot holds the clipboard as it was when it began;
    // it is ready while `backgroundReady`.
    bool backgroundReady = true;
    std::optional<PasteboardSnapshot> background;
    EventJournal journal;
};

}  // namespace platform
