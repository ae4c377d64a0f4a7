#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace platform {

// Whole-file reads and writes. A reader never sees a
// half-written file: bytes go to a temporary file beside the target (its name
// ends in kTemporarySuffix) which is then renamed over it.
namespace atomic_file {

inline constexpr std::string_view kTemporarySuffix = ".tmp";

enum class Sync {
    None,    // survives a crash of the process
    ToDisk,  // also survives a crash of the machine (fsync; costs milliseconds)
};

// Returns an error text, or nothing on success. Creates missing folders. The
// file gets mode 0600: what we keep (API keys, events) is the user's alone.
std::optional<std::string> write(const std::filesystem::path& file, std::string_view bytes, Sync sync);
// The same for a file made of several pieces, written in order without
// joining them first (the settings file is megabytes of history).
std::optional<std::string> write(const std::filesystem::path& file, std::span<const std::string_view> pieces,
                                 Sync sync);

// The whole file, or nothing when it cannot be read.
std::optional<std::string> read(const std::filesystem::path& file);

}  // namespace atomic_file
}  // namespace platform
