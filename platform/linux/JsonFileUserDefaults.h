#pragma once

#include <filesystem>
#include <map>
#include <mutex>

#include "platform/UserDefaults.h"

namespace platform {

// The settings store as one JSON object in a file (mode 0600: it holds API
// keys). Every change rewrites the file atomically: temporary file, fsync,
// rename. A file that does not parse is moved aside and reported, never
// overwritten; a failed write is logged and the value kept in memory.
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
    void load();
    void save();  // called with mutex_ held

    std::filesystem::path file_;
    mutable std::mutex mutex_;
    std::map<std::string, DefaultsValue, std::less<>> values_;
};

}  // namespace platform
