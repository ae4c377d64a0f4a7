#include "platform/linux/JsonFileUserDefaults.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "platform/Base64.h"
#include "platform/Clock.h"
#include "platform/Logger.h"
#include "platform/Unicode.h"

namespace platform {
namespace {

const Logger& log() {
    static const Logger logger("quillary", "defaults");
    return logger;
}

using nlohmann::json;

json toJson(const DefaultsValue& value) {
    return std::visit(
        [](const auto& v) -> json {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Data>) {
                if (unicode::isValidUtf8(v.bytes)) return json{{"data", v.bytes}};
                return json{{"base64", base64::encode(v.bytes)}};
            } else if constexpr (std::is_same_v<T, std::string>) {
                return json(unicode::sanitizeUtf8(v));
            } else {
                return json(v);
            }
        },
        value);
}

std::optional<DefaultsValue> fromJson(const json& j) {
    switch (j.type()) {
        case json::value_t::string: return DefaultsValue(j.get<std::string>());
        case json::value_t::boolean: return DefaultsValue(j.get<bool>());
        case json::value_t::number_integer: return DefaultsValue(j.get<std::int64_t>());
        case json::value_t::number_unsigned: {
            const auto u = j.get<std::uint64_t>();
            if (u > static_cast<std::uint64_t>(INT64_MAX)) return DefaultsValue(static_cast<double>(u));
            return DefaultsValue(static_cast<std::int64_t>(u));
        }
        case json::value_t::number_float: return DefaultsValue(j.get<double>());
        case json::value_t::object:
            if (j.size() == 1 && j.contains("data") && j["data"].is_string())
                return DefaultsValue(Data{j["data"].get<std::string>()});
            if (j.size() == 1 && j.contains("base64") && j["base64"].is_string()) {
                if (auto bytes = base64::decode(j["base64"].get<std::string>())) return DefaultsValue(Data{*bytes});
            }
            return std::nullopt;
        default: return std::nullopt;
    }
}

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

JsonFileUserDefaults::JsonFileUserDefaults(std::filesystem::path file) : file_(std::move(file)) { load(); }

std::filesystem::path JsonFileUserDefaults::defaultPath() {
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::filesystem::path(home) / ".config";
    } else {
        base = std::filesystem::temp_directory_path();
    }
    return base / "quillary" / "defaults.json";
}

void JsonFileUserDefaults::load() {
    std::error_code ec;
    if (!std::filesystem::exists(file_, ec)) return;
    std::ifstream in(file_, std::ios::binary);
    if (!in) {
        log().error(fmt::format("Could not read the settings file {}: {}", file_.string(), std::strerror(errno)));
        return;
    }
    std::stringstream buffer;
    buffer << in.rdbuf();
    const json parsed = json::parse(buffer.str(), nullptr, /*allow_exceptions=*/false);
    if (!parsed.is_object()) {
        // Keep the unreadable file for the user instead of overwriting it.
        auto aside = file_;
        aside += fmt::format(".corrupt-{}", static_cast<long long>(SystemClock().now()));
        std::filesystem::rename(file_, aside, ec);
        log().error(fmt::format("The settings file {} is not valid; it was moved to {} and defaults are used",
                                file_.string(), ec ? std::string("(move failed)") : aside.string()));
        return;
    }
    for (const auto& [key, value] : parsed.items()) {
        if (auto v = fromJson(value)) {
            values_.emplace(key, std::move(*v));
        } else {
            log().error(fmt::format("Ignoring the stored value of \"{}\": unknown shape", key));
        }
    }
}

void JsonFileUserDefaults::save() {
    json root = json::object();
    for (const auto& [k, v] : values_) root[k] = toJson(v);
    const std::string text = root.dump(1, '\t', false, json::error_handler_t::replace) + "\n";

    std::error_code ec;
    std::filesystem::create_directories(file_.parent_path(), ec);
    auto tmp = file_;
    tmp += fmt::format(".tmp-{}", ::getpid());
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        log().error(fmt::format("Could not save settings to {}: {}", file_.string(), std::strerror(errno)));
        return;
    }
    const bool ok = writeAll(fd, text) && ::fsync(fd) == 0;
    const int savedErrno = errno;
    ::close(fd);
    if (!ok || ::rename(tmp.c_str(), file_.c_str()) != 0) {
        const int err = ok ? errno : savedErrno;
        ::unlink(tmp.c_str());
        log().error(fmt::format("Could not save settings to {}: {}", file_.string(), std::strerror(err)));
        return;
    }
    // Make the rename itself durable.
    const int dir = ::open(file_.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

std::optional<DefaultsValue> JsonFileUserDefaults::object(std::string_view key) const {
    std::lock_guard lock(mutex_);
    auto it = values_.find(key);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

void JsonFileUserDefaults::set(std::string_view key, DefaultsValue value) {
    std::lock_guard lock(mutex_);
    values_.insert_or_assign(std::string(key), std::move(value));
    save();
}

void JsonFileUserDefaults::remove(std::string_view key) {
    std::lock_guard lock(mutex_);
    auto it = values_.find(key);
    if (it == values_.end()) return;
    values_.erase(it);
    save();
}

std::vector<std::string> JsonFileUserDefaults::keys(std::string_view prefix) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (const auto& [k, v] : values_)
        if (k.compare(0, prefix.size(), prefix) == 0) out.push_back(k);
    return out;
}

}  // namespace platform
