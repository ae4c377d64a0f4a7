#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// Everything the clipboard offered at one moment: each format (MIME type)
// with its bytes, in the order the owner offered them.
struct PasteboardSnapshot {
    std::vector<std::pair<std::string, std::string>> formats;

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

    // Every format on offer, at most `limit` bytes in all; it stops at the
    // first format that would pass the limit or whose owner does not answer.
    virtual PasteboardSnapshot snapshot(std::size_t limit = kSnapshotLimit) = 0;

    // Puts a snapshot back (an empty one leaves the clipboard empty); true
    // when the clipboard then holds it.
    virtual bool restore(const PasteboardSnapshot& snapshot) = 0;
};

}  // namespace platform
