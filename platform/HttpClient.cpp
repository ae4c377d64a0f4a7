#include "platform/HttpClient.h"

#include <strings.h>

#include <cstring>

#include "platform/Unicode.h"

namespace platform {

std::optional<std::string> HttpResponse::header(std::string_view name) const {
    for (const auto& [k, v] : headers)
        if (k.size() == name.size() && strncasecmp(k.data(), name.data(), k.size()) == 0) return v;
    return std::nullopt;
}

const char* URLError::defaultDescription(Code code) {
    switch (code) {
        case Cancelled: return "cancelled";
        case BadURL: return "bad URL";
        case TimedOut: return "The request timed out.";
        case UnsupportedURL: return "unsupported URL";
        case CannotFindHost: return "A server with the specified hostname could not be found.";
        case CannotConnectToHost: return "Could not connect to the server.";
        case NetworkConnectionLost: return "The network connection was lost.";
        case NotConnectedToInternet: return "The Internet connection appears to be offline.";
        case BadServerResponse: return "The server returned an invalid response.";
        case DataLengthExceedsMaximum: return "The response is too large.";
        case SecureConnectionFailed:
            return "An SSL error has occurred and a secure connection to the server cannot be made.";
        case Unknown: break;
    }
    return "An unknown error occurred.";
}

URLError::URLError(Code code) : Error(kDomain, code, defaultDescription(code)) {}
URLError::URLError(Code code, std::string description) : Error(kDomain, code, std::move(description)) {}

std::string HttpLineReader::lineAt(std::size_t start, std::size_t end) const {
    if (end - start > maxLineBytes_) throw URLError(URLError::DataLengthExceedsMaximum);
    return unicode::sanitizeUtf8(std::string_view(buffer_).substr(start, end - start));
}

std::optional<std::string> HttpLineReader::nextLine() {
    for (;;) {
        // Look for a terminator in what is buffered and not yet scanned. Lines
        // handed out are skipped by offset, not erased, so a body that arrives
        // in one large piece is split in linear time.
        while (scanned_ < buffer_.size()) {
            if (pendingCR_) {
                pendingCR_ = false;
                if (buffer_[scanned_] == '\n') {  // the LF of a CRLF split across reads
                    start_ = ++scanned_;
                    continue;
                }
            }
            // The first CR or LF, found with memchr rather than byte by byte.
            const std::size_t rest = buffer_.size() - scanned_;
            const char* const from = buffer_.data() + scanned_;
            const auto* lf = static_cast<const char*>(std::memchr(from, '\n', rest));
            const auto* cr = static_cast<const char*>(std::memchr(from, '\r', lf ? static_cast<std::size_t>(lf - from) : rest));
            const char* terminator = cr ? cr : lf;
            if (!terminator) {
                scanned_ = buffer_.size();
                break;
            }
            scanned_ = static_cast<std::size_t>(terminator - buffer_.data());
            const std::size_t lineStart = start_;
            const std::size_t lineEnd = scanned_;
            std::size_t next = scanned_ + 1;
            if (*terminator == '\r') {
                if (next < buffer_.size()) {
                    if (buffer_[next] == '\n') ++next;
                } else {
                    pendingCR_ = true;
                }
            }
            start_ = scanned_ = next;
            if (lineEnd == lineStart) continue;
            return lineAt(lineStart, lineEnd);
        }
        if (ended_) {
            if (start_ >= buffer_.size()) return std::nullopt;
            std::string line = lineAt(start_, buffer_.size());
            buffer_.clear();
            start_ = scanned_ = 0;
            return line;
        }
        // A line still without its end: waiting for more of it must not keep
        // more than a line may hold.
        if (buffer_.size() - start_ > maxLineBytes_) throw URLError(URLError::DataLengthExceedsMaximum);
        auto chunk = stream_.read();
        if (!chunk) {
            ended_ = true;
            continue;
        }
        buffer_.erase(0, start_);
        scanned_ -= start_;
        start_ = 0;
        buffer_ += *chunk;
    }
}

}  // namespace platform
