#include "platform/linux/JsonFileUserDefaults.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <utility>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "platform/AtomicFile.h"
#include "platform/Base64.h"
#include "platform/Clock.h"
#include "platform/Logger.h"
#include "platform/Threads.h"
#include "platform/Unicode.h"
#include "platform/linux/XdgConfigHome.h"

namespace platform {
namespace {

const Logger& log() {
    static const Logger logger("quillary", "defaults");
    return logger;
}

using nlohmann::json;
using namespace std::chrono_literals;

constexpr const char* kDataFileMember = "dataFile";
constexpr const char* kStringFileMember = "stringFile";
constexpr auto kFirstRetryDelay = 1s;
constexpr auto kLongestRetryDelay = 60s;

struct TooDeep {};

// Parses the settings file, refusing nesting deeper than kMaxDepth: the
// parser itself does not recurse, but writing such a value back would, and a
// value nested 100,000 levels deep overflows the stack. Sets `tooDeep` then.
json parseLimited(std::string_view text, bool& tooDeep) {
    const json::parser_callback_t limit = [](int depth, json::parse_event_t event, json&) {
        const bool opens = event == json::parse_event_t::object_start || event == json::parse_event_t::array_start;
        if (opens && depth >= JsonFileUserDefaults::kMaxDepth) throw TooDeep{};
        return true;
    };
    try {
        return json::parse(text, limit, /*allow_exceptions=*/false);
    } catch (const TooDeep&) {
        tooDeep = true;
        return json(json::value_t::discarded);
    }
}

// Text from other applications may hold invalid UTF-8: replace it, never throw.
std::string dump(const json& value) { return value.dump(-1, ' ', false, json::error_handler_t::replace); }

std::optional<DefaultsValue> fromJson(json& j) {
    switch (j.type()) {
        case json::value_t::string: return DefaultsValue(std::move(j.get_ref<std::string&>()));
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
                return DefaultsValue(Data{std::move(j["data"].get_ref<std::string&>())});
            if (j.size() == 1 && j.contains("base64") && j["base64"].is_string()) {
                if (auto bytes = base64::decode(j["base64"].get_ref<const std::string&>()))
                    return DefaultsValue(Data{std::move(*bytes)});
            }
            return std::nullopt;
        default: return std::nullopt;
    }
}

// The JSON text of a value small enough to stay in the settings file.
std::string inlineJson(const DefaultsValue& value) {
    return std::visit(
        [](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Data>) {
                if (unicode::isValidUtf8(v.bytes)) return dump(json{{"data", v.bytes}});
                return dump(json{{"base64", base64::encode(v.bytes)}});
            } else {
                // Doubles keep a fraction ("1.0"), so they read back as doubles.
                return dump(json(v));
            }
        },
        value);
}

// A value kept in a file of its own: the file's name and whether it holds a
// string (else data).
struct ValueFileReference {
    std::string name;
    bool isString = false;
};

std::optional<ValueFileReference> valueFileReference(const json& j, const std::filesystem::path& file) {
    if (!j.is_object() || j.size() != 1) return std::nullopt;
    const bool isString = j.contains(kStringFileMember);
    const auto member = j.find(isString ? kStringFileMember : kDataFileMember);
    if (member == j.end() || !member->is_string()) return std::nullopt;
    const auto& name = member->get_ref<const std::string&>();
    // Only a file of ours beside the settings file, whatever a hand edit says.
    if (name.find('/') != std::string::npos || !name.starts_with(file.filename().string() + ".") ||
        !name.ends_with(JsonFileUserDefaults::kValueFileSuffix))
        return std::nullopt;
    return ValueFileReference{name, isString};
}

// The key as it appears in the name of its value file, so that a person
// looking into the folder sees which value a file holds.
std::string fileTag(std::string_view key) {
    std::string tag;
    for (const char c : key.substr(0, 48)) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        tag += plain ? c : '_';
    }
    return tag.empty() ? "value" : tag;
}

}  // namespace

JsonFileUserDefaults::JsonFileUserDefaults(std::filesystem::path file) : file_(std::move(file)) {
    load();
    if (persistent_) writer_ = startThread([this] { run(); });
}

JsonFileUserDefaults::~JsonFileUserDefaults() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (writer_.joinable()) writer_.join();
    // Earlier values of large entries, kept only to be written over.
    for (auto& [key, spare] : spares_) superseded_.push_back(std::move(spare));
    removeSuperseded();
}

std::filesystem::path JsonFileUserDefaults::defaultPath() {
    return xdgConfigHome() / "quillary" / "defaults.json";
}

void JsonFileUserDefaults::moveAside(const char* reason) {
    // Keep what the user had instead of overwriting it.
    auto aside = file_;
    aside += fmt::format(".corrupt-{}", static_cast<long long>(SystemClock().now()));
    std::error_code ec;
    std::filesystem::rename(file_, aside, ec);
    if (ec) {
        persistent_ = false;
        log().error(fmt::format("The settings file {} {} and could not be moved aside ({}); defaults are used and "
                                "changes are kept in memory only",
                                file_.string(), reason, ec.message()));
        return;
    }
    log().error(fmt::format("The settings file {} {}; it was moved to {} and defaults are used", file_.string(),
                            reason, aside.string()));
}

void JsonFileUserDefaults::load() {
    // The folder holds API keys: no other user may list or read it, also
    // when an earlier version made it readable to all. A folder that cannot
    // be made is reported by the first write.
    (void)atomic_file::makePrivateFolder(file_.parent_path());
    atomic_file::removeStaleTemporaries(file_);
    std::error_code ec;
    if (!std::filesystem::exists(file_, ec)) return removeLeftovers({});
    const auto text = atomic_file::read(file_);
    if (!text) {
        moveAside("cannot be read");
        return removeLeftovers({});
    }
    bool tooDeep = false;
    json parsed = parseLimited(*text, tooDeep);
    const char* unreadable = tooDeep                ? "is nested too deeply"
                             : parsed.is_discarded() ? "is not valid JSON"
                             : !parsed.is_object()   ? "does not hold a JSON object"
                                                     : nullptr;
    if (unreadable) {
        moveAside(unreadable);
        return removeLeftovers({});
    }
    std::vector<std::string> named;
    for (auto& [key, stored] : parsed.items()) {
        Slot slot;
        if (const auto reference = valueFileReference(stored, file_)) {
            named.push_back(reference->name);
            if (auto bytes = atomic_file::read(file_.parent_path() / reference->name)) {
                std::shared_ptr<const std::string> held;
                if (reference->isString) {
                    slot.value = std::make_shared<const DefaultsValue>(std::move(*bytes));
                    held = std::shared_ptr<const std::string>(slot.value, &std::get<std::string>(*slot.value));
                } else {
                    held = slot.data = std::make_shared<const std::string>(std::move(*bytes));
                }
                valueFiles_.emplace(key, ValueFile{reference->name, std::move(held)});
            } else {
                log().error(fmt::format("The stored value of \"{}\" is kept in {}, which cannot be read; it is kept "
                                        "but not used",
                                        outsideText(key), outsideText(reference->name)));
            }
        } else if (auto value = fromJson(stored)) {
            if (auto* data = std::get_if<Data>(&*value))
                slot.data = std::make_shared<const std::string>(std::move(data->bytes));
            else
                slot.value = std::make_shared<const DefaultsValue>(std::move(*value));
        } else {
            log().error(
                fmt::format("The stored value of \"{}\" has an unknown shape; it is kept but not used", outsideText(key)));
        }
        if (!slot.value && !slot.data) slot.unknown = std::make_shared<const json>(std::move(stored));
        slots_.emplace(key, std::move(slot));
    }
    removeLeftovers(named);
}

void JsonFileUserDefaults::removeLeftovers(const std::vector<std::string>& named) const {
    // With the settings file lost, its value files are all that is left of
    // what it held: keep everything.
    if (!persistent_) return;
    const auto folder = file_.parent_path();
    const std::string asidePrefix = file_.filename().string() + ".corrupt-";
    std::vector<std::string> asideTexts;  // files set aside may still name value files
    std::vector<std::filesystem::path> candidates;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const auto name = entry.path().filename().string();
        if (name.starts_with(asidePrefix)) {
            auto text = atomic_file::read(entry.path());
            if (!text) return;  // cannot tell what it names
            asideTexts.push_back(std::move(*text));
        } else if (atomic_file::isLeftByEndedProcess(file_, name, kValueFileSuffix) &&
                   name.ends_with(kValueFileSuffix) && std::find(named.begin(), named.end(), name) == named.end()) {
            candidates.push_back(entry.path());
        }
    }
    for (const auto& path : candidates) {
        const auto name = path.filename().string();
        const bool mentioned = std::any_of(asideTexts.begin(), asideTexts.end(),
                                           [&](const std::string& text) { return text.find(name) != std::string::npos; });
        if (!mentioned) std::filesystem::remove(path, ec);
    }
}

std::optional<DefaultsValue> JsonFileUserDefaults::object(std::string_view key) const {
    Slot slot;
    {
        std::lock_guard lock(mutex_);
        auto it = slots_.find(key);
        if (it == slots_.end()) return std::nullopt;
        slot = it->second;
    }
    // Copied outside the lock: the history is megabytes.
    if (slot.data) return DefaultsValue(Data{*slot.data});
    if (slot.value) return *slot.value;
    return std::nullopt;
}

std::shared_ptr<const std::string> JsonFileUserDefaults::sharedData(std::string_view key) const {
    std::lock_guard lock(mutex_);
    auto it = slots_.find(key);
    return it == slots_.end() ? nullptr : it->second.data;
}

void JsonFileUserDefaults::set(std::string_view key, DefaultsValue value) {
    Slot slot;
    if (auto* data = std::get_if<Data>(&value))
        slot.data = std::make_shared<const std::string>(std::move(data->bytes));
    else
        slot.value = std::make_shared<const DefaultsValue>(std::move(value));
    store(key, std::move(slot));
}

void JsonFileUserDefaults::setSharedData(std::string_view key, std::shared_ptr<const std::string> bytes) {
    Slot slot;
    slot.data = bytes ? std::move(bytes) : std::make_shared<const std::string>();
    store(key, std::move(slot));
}

void JsonFileUserDefaults::store(std::string_view key, Slot slot) {
    Slot previous;  // released after the lock: it may be the last hold on megabytes
    std::lock_guard lock(mutex_);
    auto it = slots_.find(key);
    if (it == slots_.end()) {
        it = slots_.emplace(std::string(key), Slot{}).first;
    } else if (it->second.unknown) {
        keepUnknownAside(it);
    }
    previous = std::exchange(it->second, std::move(slot));
    changed();
}

void JsonFileUserDefaults::remove(std::string_view key) {
    Slot previous;
    std::lock_guard lock(mutex_);
    auto it = slots_.find(key);
    if (it == slots_.end()) return;
    if (it->second.unknown) keepUnknownAside(it);
    previous = std::move(it->second);
    slots_.erase(it);
    changed();
}

void JsonFileUserDefaults::removeKeptCopies(std::string_view key) {
    std::vector<Slot> removed;  // released after the lock
    std::lock_guard lock(mutex_);
    for (auto it = slots_.lower_bound(key); it != slots_.end() && it->first.starts_with(key);) {
        if (isKeptCopy(it->first, key)) {
            removed.push_back(std::move(it->second));
            it = slots_.erase(it);
        } else {
            ++it;
        }
    }
    if (!removed.empty()) changed();
}

void JsonFileUserDefaults::keepUnknownAside(Slots::iterator it) {
    // Only a newer version or a hand edit writes a shape we do not read; what
    // it holds may be the only copy of something the user wants back.
    std::string sideKey = it->first + ".corrupt";
    for (int n = 2; slots_.contains(sideKey); ++n) sideKey = fmt::format("{}.corrupt.{}", it->first, n);
    Slot kept;
    kept.unknown = std::move(it->second.unknown);
    slots_.emplace(sideKey, std::move(kept));
    log().error(fmt::format("The stored value of \"{}\" has an unknown shape; it was kept under \"{}\" before being "
                            "replaced",
                            outsideText(it->first), outsideText(sideKey)));
}

void JsonFileUserDefaults::changed() {
    ++version_;
    wake_.notify_one();
}

std::vector<std::string> JsonFileUserDefaults::keys(std::string_view prefix) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (const auto& [k, slot] : slots_)
        if (!slot.unknown && k.compare(0, prefix.size(), prefix) == 0) out.push_back(k);
    return out;
}

bool JsonFileUserDefaults::flush() {
    std::unique_lock lock(mutex_);
    const auto target = version_;
    if (!persistent_ || writtenVersion_ >= target) return writtenVersion_ >= target;
    // An attempt that starts after this point writes at least `target`.
    const auto before = attemptsStarted_;
    retryNow_ = true;
    wake_.notify_one();
    written_.wait(lock, [&] { return writtenVersion_ >= target || attemptsFinished_ > before; });
    return writtenVersion_ >= target;
}

void JsonFileUserDefaults::run() {
    auto retryDelay = std::chrono::steady_clock::duration(kFirstRetryDelay);
    std::unique_lock lock(mutex_);
    for (;;) {
        const auto due = [&] {
            return !retryAt_ || retryNow_ || stopping_ || std::chrono::steady_clock::now() >= *retryAt_;
        };
        while (!stopping_ && !(version_ != writtenVersion_ && due())) {
            if (retryAt_ && version_ != writtenVersion_)
                wake_.wait_until(lock, *retryAt_);
            else
                wake_.wait(lock);
        }
        if (version_ == writtenVersion_) return;  // stopping, and nothing left to write

        const auto version = version_;
        const auto attempt = ++attemptsStarted_;
        retryNow_ = false;
        std::optional<std::string> error;
        {
            Slots snapshot = slots_;
            lock.unlock();
            error = write(snapshot);
            removeSuperseded();
        }
        lock.lock();
        attemptsFinished_ = attempt;
        if (!error) {
            if (retryAt_) log().info(fmt::format("Settings saved to {} again", file_.string()));
            writtenVersion_ = version;
            retryAt_.reset();
            retryDelay = kFirstRetryDelay;
        } else if (stopping_) {
            log().error(fmt::format("Could not save settings to {}: {}; the changes since the last save are lost",
                                    file_.string(), *error));
            written_.notify_all();
            return;
        } else {
            if (!retryAt_)
                log().error(fmt::format("Could not save settings to {}: {}; they are kept in memory and saving is "
                                        "tried again",
                                        file_.string(), *error));
            retryAt_ = std::chrono::steady_clock::now() + retryDelay;
            retryDelay = std::min<std::chrono::steady_clock::duration>(2 * retryDelay, kLongestRetryDelay);
        }
        written_.notify_all();
    }
}

std::optional<std::string> JsonFileUserDefaults::write(const Slots& slots) {
    const auto folder = file_.parent_path();
    std::map<std::string, ValueFile, std::less<>> files;  // what the new settings file names
    std::vector<std::filesystem::path> made;               // value files made for it
    const auto fail = [&](std::string error) {
        std::error_code ignored;
        for (const auto& path : made) std::filesystem::remove(path, ignored);
        return error;
    };

    std::string text;
    for (const auto& [key, slot] : slots) {
        text += text.empty() ? "{\n\t" : ",\n\t";
        text += dump(json(key));
        text += ": ";
        if (slot.unknown) {
            text += dump(*slot.unknown);
            continue;
        }
        const auto* string = slot.value ? std::get_if<std::string>(slot.value.get()) : nullptr;
        const bool large = slot.data ? slot.data->size() > kLargeValueBytes
                                     : string && string->size() > kLargeValueBytes;
        if (!large) {
            text += slot.data ? inlineJson(Data{*slot.data}) : inlineJson(*slot.value);
            continue;
        }
        // A value file keeps its name while its bytes stay the same; new
        // bytes always go to a new file, written before the settings file
        // that names it, so the two never disagree.
        const std::shared_ptr<const std::string> bytes =
            slot.data ? slot.data : std::shared_ptr<const std::string>(slot.value, string);
        std::string name;
        if (const auto known = valueFiles_.find(key);
            known != valueFiles_.end() && known->second.bytes == bytes) {
            std::error_code ec;
            if (std::filesystem::exists(folder / known->second.name, ec)) name = known->second.name;
        }
        if (name.empty()) {
            std::filesystem::path spare;
            if (auto taken = spares_.extract(key)) spare = std::move(taken.mapped());
            auto created = atomic_file::writeNew(file_, fileTag(key), kValueFileSuffix, *bytes,
                                                 atomic_file::Sync::ToDisk, spare);
            if (created.error) return fail(std::move(*created.error));
            name = created.path.filename().string();
            made.push_back(std::move(created.path));
        }
        text += dump(json{{slot.data ? kDataFileMember : kStringFileMember, name}});
        files.emplace(key, ValueFile{std::move(name), bytes});
    }
    text += text.empty() ? "{}\n" : "\n}\n";

    if (auto error = atomic_file::write(file_, text, atomic_file::Sync::ToDisk)) return fail(std::move(*error));
    // A file the settings file no longer names is kept for the next value
    // of its key to be written over, as long as that key holds a large value;
    // otherwise it goes.
    for (const auto& [key, old] : valueFiles_) {
        const auto named = [&](const auto& now) { return now.second.name == old.name; };
        if (std::any_of(files.begin(), files.end(), named)) continue;
        if (files.contains(key) && !spares_.contains(key))
            spares_.emplace(key, folder / old.name);
        else
            superseded_.push_back(folder / old.name);
    }
    for (auto it = spares_.begin(); it != spares_.end();) {
        if (files.contains(it->first)) {
            ++it;
        } else {
            superseded_.push_back(std::move(it->second));
            it = spares_.erase(it);
        }
    }
    valueFiles_ = std::move(files);
    return std::nullopt;
}

void JsonFileUserDefaults::removeSuperseded() {
    std::error_code ignored;
    for (const auto& path : superseded_) std::filesystem::remove(path, ignored);
    superseded_.clear();
}

}  // namespace platform
