#include "platform/linux/JsonFileUserDefaults.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "platform/AtomicFile.h"
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

// Each byte as it stands in a JSON string, padded to eight bytes so that
// writing one is a single store: itself, a short escape (\" \\ \n ...) or,
// for the other control characters, \u00XX as nlohmann writes it.
struct EscapedByte {
    char text[8];
    std::size_t length;
};
constexpr auto kEscaped = [] {
    std::array<EscapedByte, 256> table{};
    for (int c = 0; c < 256; ++c) {
        auto& e = table[static_cast<std::size_t>(c)];
        e.text[0] = static_cast<char>(c);
        e.length = 1;
    }
    constexpr char kHex[] = "0123456789abcdef";
    for (int c = 0; c < 0x20; ++c) {
        auto& e = table[static_cast<std::size_t>(c)];
        const char text[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
        for (std::size_t k = 0; k < sizeof text; ++k) e.text[k] = text[k];
        e.length = sizeof text;
    }
    for (const auto& [c, letter] : {std::pair{'"', '"'}, std::pair{'\\', '\\'}, std::pair{'\n', 'n'},
                                   std::pair{'\r', 'r'}, std::pair{'\t', 't'}, std::pair{'\b', 'b'},
                                   std::pair{'\f', 'f'}}) {
        auto& e = table[static_cast<unsigned char>(c)];
        e = EscapedByte{{'\\', letter}, 2};
    }
    return table;
}();

// Writes `c` as it stands in a JSON string; needs eight bytes of room.
char* writeEscaped(char* p, unsigned char c) {
    std::memcpy(p, kEscaped[c].text, sizeof kEscaped[c].text);
    return p + kEscaped[c].length;
}

// Sixteen bytes at a time, in GCC's portable vector type (SSE2 or NEON).
typedef unsigned char Block __attribute__((vector_size(16)));
typedef signed char BlockMask __attribute__((vector_size(16)));  // 0 or -1 per byte
constexpr std::size_t kBlock = sizeof(Block);

Block loadBlock(const char* p) {
    Block b;
    std::memcpy(&b, p, sizeof b);
    return b;
}
// One bit per byte of a comparison result, the first byte lowest.
unsigned bitsOf(BlockMask m) {
    std::uint64_t w[2];
    std::memcpy(w, &m, sizeof w);
    constexpr std::uint64_t kEachByte = 0x0101010101010101ULL;
    constexpr std::uint64_t kGather = 0x0102040810204080ULL;  // byte n's low bit lands on bit 56 + n
    const auto low = static_cast<unsigned>(((w[0] & kEachByte) * kGather) >> 56);
    const auto high = static_cast<unsigned>(((w[1] & kEachByte) * kGather) >> 56);
    return low | (high << 8);
}
BlockMask needsEscape(Block b) { return (b == '"') | (b == '\\') | (b < 0x20); }

// Appends `text` as a JSON string. The history (megabytes of JSON text, full
// of quotes, accents and emoji) is rewritten on every change, and nlohmann's
// serialiser escapes byte by byte, several times slower than the disk write
// itself. The text is checked for UTF-8 first, so that multi-byte characters
// need no care while copying, which moves sixteen bytes at a time: a block is
// stored whole and the output pointer advanced only past the bytes that
// belong, so a run between two escapes costs one store and an escape one
// more. Returns false, leaving `out` as it was, when `text` is not valid UTF-8.
bool appendJsonString(std::string& out, std::string_view text) {
    if (!unicode::isValidUtf8(text)) return false;
    // The most one step writes: a block of control characters (6 bytes each)
    // and the overshoot of a whole-block store.
    constexpr std::size_t kStepRoom = 6 * kBlock + kBlock;
    const std::size_t start = out.size();
    const std::size_t size = text.size();
    out.resize(start + size + size / 16 + 2 + kStepRoom);  // a guess; grown when escapes outrun it
    char* p = out.data() + start;
    *p++ = '"';
    std::size_t i = 0;
    while (i < size) {
        if (static_cast<std::size_t>(out.data() + out.size() - p) < kStepRoom) {
            const auto written = static_cast<std::size_t>(p - out.data());
            out.resize(out.size() + out.size() / 2 + kStepRoom);
            p = out.data() + written;
        }
        // Each block step may read up to two blocks ahead of `i`.
        if (i + 2 * kBlock <= size) {
            unsigned escapes = bitsOf(needsEscape(loadBlock(text.data() + i)));
            std::size_t done = 0;  // bytes of this block already written
            while (escapes != 0) {
                const auto at = static_cast<std::size_t>(__builtin_ctz(escapes));
                escapes &= escapes - 1;
                const Block run = loadBlock(text.data() + i + done);
                std::memcpy(p, &run, kBlock);
                p += at - done;
                p = writeEscaped(p, static_cast<unsigned char>(text[i + at]));
                done = at + 1;
            }
            const Block rest = loadBlock(text.data() + i + done);
            std::memcpy(p, &rest, kBlock);
            p += kBlock - done;
            i += kBlock;
            continue;
        }
        // One byte at a time near the end (multi-byte characters go over as
        // their bytes: they were checked above).
        p = writeEscaped(p, static_cast<unsigned char>(text[i++]));
    }
    *p++ = '"';
    out.resize(static_cast<std::size_t>(p - out.data()));
    return true;
}

// Text from other applications may hold invalid UTF-8: replace it, never throw.
void appendJsonText(std::string& out, std::string_view text) {
    if (!appendJsonString(out, text)) appendJsonString(out, unicode::sanitizeUtf8(text));
}

// Replaces `out` with the value's JSON text. Reusing the previous text's
// buffer spares a fresh multi-megabyte allocation (and its page faults) on
// every change of the history.
void writeJson(std::string& out, const DefaultsValue& value) {
    out.clear();
    std::visit(
        [&out](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Data>) {
                out = "{\"data\": ";
                if (!appendJsonString(out, v.bytes)) {
                    out = "{\"base64\": ";
                    appendJsonString(out, base64::encode(v.bytes));
                }
                out += '}';
            } else if constexpr (std::is_same_v<T, std::string>) {
                appendJsonText(out, v);
            } else {
                // Numbers as nlohmann writes them: doubles round-trip and keep
                // a fraction ("1.0"), so they read back as doubles.
                out = json(v).dump();
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
    std::error_code ec;
    if (!std::filesystem::exists(file_, ec)) return;
    const auto text = atomic_file::read(file_);
    if (!text) {
        moveAside("cannot be read");
        return;
    }
    const json parsed = json::parse(*text, nullptr, /*allow_exceptions=*/false);
    if (parsed.is_discarded()) {
        moveAside("is not valid JSON");
        return;
    }
    if (!parsed.is_object()) {
        moveAside("does not hold a JSON object");
        return;
    }
    for (const auto& [key, stored] : parsed.items()) {
        Entry entry;
        entry.value = fromJson(stored);
        if (entry.value) {
            writeJson(entry.json, *entry.value);
        } else {
            entry.json = stored.dump(-1, ' ', false, json::error_handler_t::replace);
            log().error(fmt::format("The stored value of \"{}\" has an unknown shape; it is kept but not used", key));
        }
        entries_.emplace(key, std::move(entry));
    }
}

void JsonFileUserDefaults::save() {
    if (!persistent_) return;
    // The file is written straight from each entry's JSON text: the history
    // alone is megabytes, not worth one more copy.
    std::vector<std::string> keyTexts;
    keyTexts.reserve(entries_.size());
    std::vector<std::string_view> pieces;
    pieces.reserve(2 * entries_.size() + 2);
    static constexpr std::string_view kEmpty = "{}\n", kEnd = "\n}\n";
    if (entries_.empty()) pieces.push_back(kEmpty);
    for (const auto& [key, entry] : entries_) {
        std::string& keyText = keyTexts.emplace_back(pieces.empty() ? "{\n\t" : ",\n\t");
        appendJsonText(keyText, key);
        keyText += ": ";
        pieces.push_back(keyText);
        pieces.push_back(entry.json);
    }
    if (!entries_.empty()) pieces.push_back(kEnd);

    if (auto error = atomic_file::write(file_, pieces, atomic_file::Sync::ToDisk))
        log().error(fmt::format("Could not save settings to {}: {}", file_.string(), *error));
}

std::optional<DefaultsValue> JsonFileUserDefaults::object(std::string_view key) const {
    std::lock_guard lock(mutex_);
    auto it = entries_.find(key);
    if (it == entries_.end()) return std::nullopt;
    return it->second.value;
}

void JsonFileUserDefaults::set(std::string_view key, DefaultsValue value) {
    std::lock_guard lock(mutex_);
    auto it = entries_.find(key);
    if (it == entries_.end()) it = entries_.emplace(std::string(key), Entry{}).first;
    writeJson(it->second.json, value);
    it->second.value = std::move(value);
    save();
}

void JsonFileUserDefaults::remove(std::string_view key) {
    std::lock_guard lock(mutex_);
    auto it = entries_.find(key);
    if (it == entries_.end()) return;
    entries_.erase(it);
    save();
}

std::vector<std::string> JsonFileUserDefaults::keys(std::string_view prefix) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (const auto& [k, entry] : entries_)
        if (entry.value && k.compare(0, prefix.size(), prefix) == 0) out.push_back(k);
    return out;
}

}  // namespace platform
