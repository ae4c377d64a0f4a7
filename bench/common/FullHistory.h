#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/HistoryService.h"
#include "core/HistoryText.h"
#include "platform/Uuid.h"

namespace bench {

// A folder of its own under the system temporary folder, removed at exit,
// so a benchmark never touches the user's settings.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quillary-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Prose with the characters that real prompts and answers carry: quotes,
// line ends, accents and emoji, so escaping costs what it costs in use.
inline std::string text(std::size_t bytes, unsigned seed) {
    static const char* const words[] = {"the", "function", "returns", "\"quoted\"", "value", "caf\xC3\xA9",
                                        "\xF0\x9F\x98\x80", "error:", "line\n", "tab\there", "{json}", "path\\to"};
    std::string out;
    out.reserve(bytes + 16);
    unsigned state = seed * 2654435761u + 1;
    while (out.size() < bytes) {
        state = state * 1103515245u + 12345u;
        out += words[(state >> 16) % (sizeof words / sizeof *words)];
        out += ' ';
    }
    return out;
}

// An entry of the size real ones have: a prompt, a selection and an answer
// of a few hundred to a few thousand bytes.
inline core::HistoryEntry realisticEntry(unsigned n) {
    return core::HistoryEntry{platform::Uuid::random(), 754390800.0 + n * 37.25, "Claude 3.5 Sonnet",
                              text(300, n),            text(2000, n + 7),       text(1700, n + 13),
                              "Text Editor"};
}

// The stored form of a history at its cap: 1000 such entries, about 4 MB.
inline const std::string& fullHistoryBytes() {
    static const std::string bytes = [] {
        std::vector<core::HistoryEntry> entries;
        for (unsigned i = 0; i < core::HistoryService::kMaxEntries; ++i) entries.push_back(realisticEntry(i));
        return core::history::encode(entries);
    }();
    return bytes;
}

}  // namespace bench
