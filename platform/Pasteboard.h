#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// Everything the clipboard offered at one moment: each format (MIME type)
// with its bytes, in the order the owner offered them, and what of it could
// not be kept, in words ("image/png did not answer").
struct PasteboardSnapshot {
    using Formats = std::vector<std::pair<std::string, std::string>>;
    PasteboardSnapshot(Formats formats = {}, std::vector<std::string> lost = {})
        : formats(std::move(formats)), lost(std::move(lost)) {}

    Formats formats;
    std::vector<std::string> lost;

    bool empty() const { return formats.empty(); }
    std::size_t byteCount() const;
    friend bool operator==(const PasteboardSnapshot&, const PasteboardSnapshot&) = default;
};

// The desktop's general clipboard (on X11 the CLIPBOARD selection, not
// PRIMARY). Main thread only; reads wait for the owner at most the
// clipboard's own time-out.
class Pasteboard {
public:
    // A snapshot holds at most this much in all.
    static constexpr std::size_t kSnapshotLimit = 64 * 1024 * 1024;

    virtual ~Pasteboard() = default;

    // The plain text on the clipboard, as UTF-8; none when it holds no text.
    virtual std::optional<std::string> string() = 0;

    // The raw bytes of the plain-text (UTF-8) format, unchecked; none when
    // the clipboard offers no such format.
    virtual std::optional<std::string> data() = 0;

    // Clears the clipboard and puts `text` on it as plain text; true when
    // the clipboard then holds exactly that text.
    virtual bool setString(std::string_view text) = 0;

    // Every format on offer, at most `limit` bytes in all, read within a
    // second; a format that does not answer or would pass the limit is left
    // out and named.
    virtual PasteboardSnapshot snapshot(std::size_t limit = kSnapshotLimit) = 0;

    // The same snapshot read in the background, from the main loop, each
    // format given two seconds, started over when another program changes
    // the clipboard meanwhile: begun, asked whether it is done, and ended
    // with what it has read by then (the rest named as lost). Beginning
    // again drops the snapshot on its way.
    virtual void beginSnapshot() = 0;
    virtual bool snapshotReady() = 0;
    virtual PasteboardSnapshot endSnapshot() = 0;

    // Puts a snapshot back (an empty one leaves the clipboard empty); true
    // when the clipboard then holds it.
    virtual bool restore(const PasteboardSnapshot& snapshot) = 0;
};

}  // namespace platform
