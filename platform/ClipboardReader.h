#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "platform/Pasteboard.h"

namespace platform {

// Reads the clipboard while another program owns it, asking that program
// directly and never waiting on it longer than a fixed budget per read: a
// program that does not answer cannot hold the caller up. Main thread only.
class ClipboardReader {
public:
    virtual ~ClipboardReader() = default;

    // The owner's UTF-8 text as it gives it (unchecked); none when nobody
    // owns the clipboard, the owner offers no such text or does not answer.
    virtual std::optional<std::string> text() = 0;

    // Every data target the owner offers, with its bytes, at most `limit`
    // bytes in all; a target that would pass the limit or that the owner
    // does not answer is named as lost.
    virtual PasteboardSnapshot snapshot(std::size_t limit) = 0;

    // The same, read from the main loop instead of waited for (see
    // Pasteboard::beginSnapshot).
    virtual void beginSnapshot(std::size_t limit) = 0;
    virtual bool snapshotReady() = 0;
    virtual PasteboardSnapshot endSnapshot() = 0;
};

}  // namespace platform
