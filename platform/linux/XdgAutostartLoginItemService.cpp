#include "platform/linux/XdgAutostartLoginItemService.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "platform/AtomicFile.h"
#include "platform/Error.h"
#include "platform/linux/XdgConfigHome.h"

namespace platform {
namespace {

constexpr const char* kDomain = "LoginItem";
constexpr const char* kGroup = "[Desktop Entry]";

// Characters that make the Desktop Entry rules ask for a quoted argument.
constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
// Characters that take a backslash inside a quoted argument.
constexpr std::string_view kEscapedInQuotes = "\"`$\\";

bool isSpace(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (isSpace(text.front()) || text.front() == '\r')) text.remove_prefix(1);
    while (!text.empty() && (isSpace(text.back()) || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

// The keys of the "Desktop Entry" group, first value of each key kept.
std::vector<std::pair<std::string, std::string>> entryKeys(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> keys;
    bool inGroup = false;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            // Only the first group of that name counts.
            if (inGroup) break;
            inGroup = line == kGroup;
            continue;
        }
        const auto equals = line.find('=');
        if (!inGroup || equals == std::string_view::npos) continue;
        keys.emplace_back(std::string(trimmed(line.substr(0, equals))), std::string(trimmed(line.substr(equals + 1))));
    }
    return keys;
}

std::optional<std::string> value(const std::vector<std::pair<std::string, std::string>>& keys, std::string_view key) {
    for (const auto& [name, text] : keys)
        if (name == key) return text;
    return std::nullopt;
}

// A value of type string as it stands in the file: backslash, newline, tab
// and carriage return escaped; other control characters cannot be written.
std::optional<std::string> escapedString(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '\r': out += "\\r"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return std::nullopt;
                out += c;
        }
    }
    return out;
}

std::string unescapedString(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        switch (text[++i]) {
            case 's': out += ' '; break;
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case '\\': out += '\\'; break;
            default: out += '\\', out += text[i];
        }
    }
    return out;
}

std::string quotedArgument(std::string_view argument) {
    std::string plain;
    for (const char c : argument) {
        plain += c;
        if (c == '%') plain += '%';  // "%%" is a literal percent, not a field code
    }
    if (!plain.empty() && plain.find_first_of(kReserved) == std::string::npos) return plain;
    std::string quoted = "\"";
    for (const char c : plain) {
        if (kEscapedInQuotes.find(c) != std::string_view::npos) quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

std::string withoutDoubledPercent(std::string_view argument) {
    std::string out;
    for (std::size_t i = 0; i < argument.size(); ++i) {
        out += argument[i];
        if (argument[i] == '%' && i + 1 < argument.size() && argument[i + 1] == '%') ++i;
    }
    return out;
}

bool carriesMarker(const std::vector<std::string>& arguments) {
    return arguments.size() > 1 &&
           std::find(arguments.begin() + 1, arguments.end(), LoginItemService::kLaunchedAtLoginArgument) !=
               arguments.end();
}

}  // namespace

XdgAutostartLoginItemService::XdgAutostartLoginItemService()
    : XdgAutostartLoginItemService(defaultEntryFile(), runningExecutable()) {}

XdgAutostartLoginItemService::XdgAutostartLoginItemService(std::filesystem::path entryFile,
                                                           std::filesystem::path executable)
    : entryFile_(std::move(entryFile)), executable_(std::move(executable)) {}

std::filesystem::path XdgAutostartLoginItemService::defaultEntryFile() {
    return xdgConfigHome() / "autostart" / "quillary.desktop";
}

std::filesystem::path XdgAutostartLoginItemService::runningExecutable(const std::filesystem::path& exeLink) {
    constexpr std::string_view kDeleted = " (deleted)";
    std::error_code ec;
    std::string path = std::filesystem::read_symlink(exeLink, ec).string();
    if (ec) return {};
    // A file that really is named "... (deleted)" is taken as it is.
    if (path.ends_with(kDeleted) && !std::filesystem::exists(path, ec)) path.resize(path.size() - kDeleted.size());
    return path;
}

LoginItemStatus XdgAutostartLoginItemService::status() const {
    const auto text = atomic_file::read(entryFile_);
    if (!text) return LoginItemStatus::NotRegistered;
    const auto keys = entryKeys(*text);
    // Hidden=true is how a user's entry switches off one of the system's;
    // GNOME's own autostart settings write the other key.
    if (value(keys, "Hidden") == "true" || value(keys, "X-GNOME-Autostart-enabled") == "false")
        return LoginItemStatus::NotRegistered;
    const auto exec = value(keys, "Exec");
    const auto arguments = exec ? execArguments(*exec) : std::nullopt;
    if (!arguments || !carriesMarker(*arguments)) return LoginItemStatus::NotRegistered;
    return LoginItemStatus::Enabled;
}

void XdgAutostartLoginItemService::register_() {
    std::error_code ec;
    if (executable_.empty() || !std::filesystem::is_regular_file(executable_, ec))
        throw Error(kDomain, ENOENT,
                    "the program's own executable cannot be found" +
                        (executable_.empty() ? std::string() : " at " + executable_.string()));
    const auto text = entryText(executable_);
    if (!text)
        throw Error(kDomain, EINVAL,
                    "the program's path " + executable_.string() + " holds characters a desktop entry cannot carry");
    if (auto failure = atomic_file::write(entryFile_, *text, atomic_file::Sync::ToDisk))
        throw Error(kDomain, -1, *failure);
}

void XdgAutostartLoginItemService::unregister() {
    std::error_code ec;
    std::filesystem::remove(entryFile_, ec);  // an entry that is not there is no failure
    if (ec) throw Error(kDomain, ec.value(), "cannot remove " + entryFile_.string() + ": " + ec.message());
}

std::optional<std::string> XdgAutostartLoginItemService::entryText(const std::filesystem::path& executable) {
    const auto exec = execValue({executable.string(), std::string(kLaunchedAtLoginArgument)});
    if (!exec) return std::nullopt;
    return std::string(kGroup) +
           "\n"
           "Type=Application\n"
           "Name=Quillary\n"
           "Comment=Start Quillary when you log in\n"
           "Exec=" +
           *exec +
           "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

std::optional<std::string> XdgAutostartLoginItemService::execValue(const std::vector<std::string>& arguments) {
    std::string command;
    for (const auto& argument : arguments) {
        if (!command.empty()) command += ' ';
        command += quotedArgument(argument);
    }
    return escapedString(command);
}

std::optional<std::vector<std::string>> XdgAutostartLoginItemService::execArguments(std::string_view value) {
    const std::string command = unescapedString(value);
    std::vector<std::string> arguments;
    std::size_t i = 0;
    while (i < command.size()) {
        if (isSpace(command[i])) {
            ++i;
            continue;
        }
        std::string argument;
        if (command[i] == '"') {
            for (++i;; ++i) {
                if (i == command.size()) return std::nullopt;  // no closing quote
                if (command[i] == '"') break;
                if (command[i] == '\\' && i + 1 < command.size() &&
                    kEscapedInQuotes.find(command[i + 1]) != std::string_view::npos)
                    ++i;
                argument += command[i];
            }
            ++i;
            // A quote covers a whole argument.
            if (i < command.size() && !isSpace(command[i])) return std::nullopt;
        } else {
            while (i < command.size() && !isSpace(command[i])) argument += command[i++];
        }
        arguments.push_back(withoutDoubledPercent(argument));
    }
    return arguments;
}

}  // namespace platform
