#pragma once

#include <filesystem>
#include <map>
#include <mutex>

#include "platform/UserDefaults.h"

namespace platform {

// The settings store as one JSON object in a file (mode 0600: it holds API
// keys). Every change rewrites the file atomically: temporary file, fsync,
// rename. A file that cannot be read or parsed, or is not a JSON object, is
// moved aside and reported, never overwritten; when even that fails the store
// keeps changes in memory only. A failed write is logged and the value kept
// in memory. Entries of a shape this version does not know are written back
// unchanged.
//
// Stored shapes: strings, Booleans and numbers as themselves (integers
// without a fraction, doubles always with one); data values as
// {"data": TEXT} when the bytes are UTF-8, else {"base64": TEXT}.
class JsonFileUserDefaults final : public UserDefaults {
public:
    explicit JsonFileUserDefaults(std::filesystem::path file);

    // $XDG_CONFIG_HOME/quillary/defaults.json (or ~/.config/...).
    static std::filesystem::path defaultPath();

    std::optional<DefaultsValue> object(std::string_view key) const override;
    void set(std::string_view key, DefaultsValue value) override;
    void remove(std::string_view key) override;
    std::vector<std::string> keys(std::string_view prefix = {}) const override;

    const std::filesystem::path& path() const { return file_; }

private:
    // A value with its JSON text, kept so that a change serialises only the
    // changed entry: the history alone is megabytes of text.
    struct Entry {
        std::optional<DefaultsValue> value;  // empty for a shape this version does not know
        std::string json;
    };

    void load();
    void moveAside(const char* reason);
    void save();  // called with mutex_ held

    std::filesystem::path file_;
    mutable std::mutex mutex_;
    std::map<std::string, Entry, std::less<>> entries_;
    bool persistent_ = true;  // false once writing would destroy a file we could not move aside
};

}  // namespace platform
