#include "platform/fake/FakePasteboard.h"

#include <algorithm>
#include <utility>

#include "platform/Unicode.h"

namespace platform {

std::optional<std::string> FakePasteboard::data() {
    if (std::find(silentFormats.begin(), silentFormats.end(), kTextType) != silentFormats.end()) return std::nullopt;
    for (const auto& [type, bytes] : contents.formats)
        if (type == kTextType) return bytes;
    return std::nullopt;
}

std::optional<std::string> FakePasteboard::string() {
    auto bytes = data();
    if (!bytes) return std::nullopt;
    return unicode::sanitizeUtf8(*bytes);
}

bool FakePasteboard::setString(std::string_view text) {
    ++writes;
    note(journal, "set " + std::string(text));
    contents = {{{kTextType, std::string(text)}}};
    if (takenBack) copyFromOtherProgram("taken back");
    if (onWrite) onWrite();
    return !takenBack;
}

PasteboardSnapshot FakePasteboard::snapshot(std::size_t limit) {
    PasteboardSnapshot copy;
    std::size_t total = 0;
    for (const auto& format : contents.formats) {
        if (std::find(silentFormats.begin(), silentFormats.end(), format.first) != silentFormats.end()) {
            copy.lost.push_back(format.first + " did not answer");
            continue;
        }
        if (format.second.size() > limit - total) {
            copy.lost.push_back(format.first + " is too large");
            continue;
        }
        total += format.second.size();
        copy.formats.push_back(format);
    }
    return copy;
}

bool FakePasteboard::restore(const PasteboardSnapshot& snapshot) {
    ++writes;
    note(journal, "restore");
    contents = snapshot;
    if (onWrite) onWrite();
    return true;
}

void FakePasteboard::beginSnapshot() {
    note(journal, "snapshot begun");
    background = snapshot();
}

PasteboardSnapshot FakePasteboard::endSnapshot() {
    note(journal, "snapshot ended");
    return std::exchange(background, std::nullopt).value_or(PasteboardSnapshot{});
}

}  // namespace platform
