#pragma once

#include <memory>

#include "platform/ClipboardReader.h"
#include "platform/Pasteboard.h"

namespace platform {

// The desktop clipboard (on X11 the CLIPBOARD selection). What another
// program owns is read through `reader`, which never waits on it long; what
// this program owns is copied from Qt's clipboard here, without asking
// anyone. Writes go through Qt's clipboard, which then answers the other
// programs. Needs a QGuiApplication; main thread only.
//
// Snapshots name their formats after the X targets (UTF8_STRING,
// image/png, x-kde-passwordManagerHint...), and restore serves each again.
// The background snapshot goes through `keeper`, a reader of its own (none:
// it is taken at once through `reader`).
class QtPasteboard final : public Pasteboard {
public:
    explicit QtPasteboard(std::shared_ptr<ClipboardReader> reader, std::shared_ptr<ClipboardReader> keeper = nullptr);

    std::optional<std::string> string() override;
    std::optional<std::string> data() override;
    bool setString(std::string_view text) override;
    PasteboardSnapshot snapshot(std::size_t limit = kSnapshotLimit) override;
    bool restore(const PasteboardSnapshot& snapshot) override;
    void beginSnapshot() override;
    bool snapshotReady() override;
    PasteboardSnapshot endSnapshot() override;

private:
    PasteboardSnapshot ownSnapshot(std::size_t limit);

    std::shared_ptr<ClipboardReader> reader_;
    std::shared_ptr<ClipboardReader> keeper_;
    bool keeping_ = false;           // the keeper's snapshot is on its way
    PasteboardSnapshot taken_;       // else the one taken at once
};

}  // namespace platform
