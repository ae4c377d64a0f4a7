#include "platform/Logger.h"

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <utility>

#include <fmt/format.h>

namespace platform {
namespace {

class StderrSink final : public LogSink {
public:
    void write(LogLevel, std::string_view, std::string_view, std::string_view message) override {
        std::lock_guard lock(mutex_);
        std::fwrite(message.data(), 1, message.size(), stderr);
        std::fputc('\n', stderr);
        std::fflush(stderr);
    }

private:
    std::mutex mutex_;
};

std::mutex& sinkMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<LogSink>& currentSink() {
    static std::shared_ptr<LogSink> s = std::make_shared<StderrSink>();
    return s;
}

}  // namespace

Logger::Logger(std::string subsystem, std::string category, bool enabled)
    : subsystem_(std::move(subsystem)), category_(std::move(category)), enabled_(enabled) {}

Logger Logger::disabled() { return Logger("", "", false); }

void Logger::log(LogLevel level, std::string_view message) const {
    if (!enabled_) return;
    if (auto s = sink()) s->write(level, subsystem_, category_, message);
}

std::shared_ptr<LogSink> Logger::setSink(std::shared_ptr<LogSink> sink) {
    std::lock_guard lock(sinkMutex());
    if (!sink) sink = std::make_shared<StderrSink>();
    std::swap(currentSink(), sink);
    return sink;
}

std::shared_ptr<LogSink> Logger::sink() {
    std::lock_guard lock(sinkMutex());
    return currentSink();
}

namespace {

// The length of the well-formed UTF-8 sequence at the start of `text` (its
// code point in `cp`), or 0 when there is none. Kept here rather than taken
// from the Unicode helpers: the loadable modules carry their own copy of the
// logger and nothing more.
std::size_t sequenceAt(std::string_view text, char32_t& cp) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    if (lead < 0x80) {
        cp = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07u;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0u) != 0x80u) return 0;
        cp = (cp << 6) | (byte(i) & 0x3Fu);
    }
    // Overlong forms, surrogates and code points past U+10FFFF.
    const bool overlong = (length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000);
    if (overlong || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return 0;
    return length;
}

// How one character of outside text is written into a log line.
std::string escapedCharacter(std::string_view sequence, char32_t cp) {
    switch (cp) {
        case '\n': return "\\n";
        case '\r': return "\\r";
        case '\t': return "\\t";
        default: break;
    }
    if (cp < 0x20 || cp == 0x7F) return fmt::format("\\x{:02x}", static_cast<unsigned>(cp));
    // C1 controls: a terminal reads U+009B as the start of a control sequence.
    if (cp >= 0x80 && cp <= 0x9F) return fmt::format("\\u{:04x}", static_cast<unsigned>(cp));
    return std::string(sequence);
}

}  // namespace

std::string outsideText(std::string_view text) {
    std::string out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        char32_t cp = 0;
        const std::size_t length = sequenceAt(text.substr(pos), cp);
        const std::string piece =
            length == 0 ? fmt::format("\\x{:02x}", static_cast<unsigned char>(text[pos]))
                        : escapedCharacter(text.substr(pos, length), cp);
        if (out.size() + piece.size() > kOutsideTextLogBytes) break;
        out += piece;
        pos += length == 0 ? 1 : length;
    }
    if (pos < text.size()) out += fmt::format("… ({} bytes in all)", text.size());
    return out;
}

void consoleLine(std::string_view message) {
    static const Logger console("quillary", "console");
    console.info(message);
}

}  // namespace platform
