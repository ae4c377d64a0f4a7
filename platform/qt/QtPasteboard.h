#pragma once

#include "platform/Pasteboard.h"

namespace platform {

// The desktop clipboard through Qt (QClipboard's Clipboard mode, which on
// X11 is the CLIPBOARD selection). Needs a QGuiApplication; main thread only.
class QtPasteboard final : public Pasteboard {
public:
    std::optional<std::string> string() override;
    std::optional<std::string> data() override;
    bool setString(std::string_view text) override;
    PasteboardSnapshot snapshot(std::size_t limit = kSnapshotLimit) override;
    bool restore(const PasteboardSnapshot& snapshot) override;
};

}  // namespace platform
