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
class QtPasteboard final : public Pasteboard {
public:
    explicit QtPasteboard(std::shared_ptr<ClipboardReader> reader);

    std::optional<std::string> string() override;
    std::optional<std::string> data() override;
    bool setString(std::string_view text) override;
    PasteboardSnapshot snapshot(std::size_t limit = kSnapshotLimit) override;
    bool restore(const PasteboardSnapshot& snapshot) override;

private:
    std::shared_ptr<ClipboardReader> reader_;
};

}  // namespace platform
