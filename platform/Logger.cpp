#include "platform/Logger.h"

#include <cstdio>
#include <mutex>
#include <utility>

#include <fmt/format.h>
#include <utf8proc.h>

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
// code point in `cp`), or 0 when there is none.
std::size_t sequenceAt(std::string_view text, char32_t& cp) {
    utf8proc_int32_t point = 0;
    const auto length = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                                         static_cast<utf8proc_ssize_t>(text.size()), &point);
    if (length <= 0) return 0;
    cp = static_cast<char32_t>(point);
    return static_cast<std::size_t>(length);
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
