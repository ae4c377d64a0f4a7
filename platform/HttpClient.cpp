#include "platform/HttpClient.h"

#include <strings.h>

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
        case SecureConnectionFailed:
            return "An SSL error has occurred and a secure connection to the server cannot be made.";
        case Unknown: break;
    }
    return "An unknown error occurred.";
}

URLError::URLError(Code code) : Error(kDomain, code, defaultDescription(code)) {}
URLError::URLError(Code code, std::string description) : Error(kDomain, code, std::move(description)) {}

std::optional<std::string> HttpLineReader::nextLine() {
    for (;;) {
        // Look for a terminator in what is buffered and not yet scanned.
        while (scanned_ < buffer_.size()) {
            const char c = buffer_[scanned_];
            if (pendingCR_) {
                pendingCR_ = false;
                if (c == '\n') {  // the LF of a CRLF split across reads
                    buffer_.erase(0, 1);
                    continue;
                }
            }
            if (c == '\n' || c == '\r') {
                std::string line = buffer_.substr(0, scanned_);
                std::size_t drop = scanned_ + 1;
                if (c == '\r') {
                    if (drop < buffer_.size()) {
                        if (buffer_[drop] == '\n') ++drop;
                    } else {
                        pendingCR_ = true;
                    }
                }
                buffer_.erase(0, drop);
                scanned_ = 0;
                if (line.empty()) continue;
                return unicode::sanitizeUtf8(line);
            }
            ++scanned_;
        }
        if (ended_) {
            if (buffer_.empty()) return std::nullopt;
            std::string line = std::move(buffer_);
            buffer_.clear();
            scanned_ = 0;
            return unicode::sanitizeUtf8(line);
        }
        auto chunk = stream_.read();
        if (!chunk) {
            ended_ = true;
            continue;
        }
        buffer_ += *chunk;
    }
}

}  // namespace platform
