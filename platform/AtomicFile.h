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

// Returns an error text, or nothing on success. Creates missing folders
// (makeFolders). The file gets mode 0600: what we keep (API keys, events) is
// the user's alone.
std::optional<std::string> write(const std::filesystem::path& file, std::string_view bytes, Sync sync);
// The same for a file made of several pieces, written in order without
// joining them first (the settings file is megabytes of history).
std::optional<std::string> write(const std::filesystem::path& file, std::span<const std::string_view> pieces,
                                 Sync sync);

// Makes `folder` and the folders above it that are missing, each new one
// with mode 0700 (readable by the user alone); folders that exist stay as
// they are. Returns an error text, or nothing on success.
std::optional<std::string> makeFolders(const std::filesystem::path& folder);
// The same, and `folder` itself is made 0700 also when it exists: for the
// program's own folder, which holds API keys.
std::optional<std::string> makePrivateFolder(const std::filesystem::path& folder);

// The whole file, or nothing when it cannot be read.
std::optional<std::string> read(const std::filesystem::path& file);

// A file made by writeNew: its path, or why it could not be written.
struct NewFile {
    std::filesystem::path path;
    std::optional<std::string> error;
};

// Writes `bytes` to a file beside `file` under a name that did not exist
// before, "FILE.TAG.PID-N" followed by `suffix` with N not used yet. Nothing
// is ever replaced, so a file under a name it returned never changes; a file
// that could not be written whole is removed. Mode 0600, missing folders made.
//
// `reuse`, when given, is a file of ours beside `file` that nothing needs any
// more: it is renamed to the new name and overwritten, since freeing a file
// of megabytes and allocating the next costs a file system far more than
// writing over one. A fresh file is made when it cannot be taken.
NewFile writeNew(const std::filesystem::path& file, std::string_view tag, std::string_view suffix,
                 std::string_view bytes, Sync sync, const std::filesystem::path& reuse = {});

// Whether `name`, the name of a file beside `file`, is one that write()
// (ending in kTemporarySuffix) or writeNew() (ending in `suffix`) made for
// `file` in a process that no longer runs: left by a crash or a kill.
bool isLeftByEndedProcess(const std::filesystem::path& file, std::string_view name, std::string_view suffix);

// Removes the temporary files beside `file` that processes which no longer
// run left between writing and renaming (each a full copy of what they
// wrote). Those of running processes, this one included, stay.
void removeStaleTemporaries(const std::filesystem::path& file);

}  // namespace atomic_file
}  // namespace platform
