#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Error.h"

namespace platform {

// A flag that another thread raises to stop a request in flight. The request
// then fails with URLError::Cancelled.
class CancellationToken {
public:
    void cancel() noexcept { cancelled_.store(true); }
    bool isCancelled() const noexcept { return cancelled_.load(); }

private:
    std::atomic<bool> cancelled_{false};
};

using HttpHeaders = std::vector<std::pair<std::string, std::string>>;

// The most a reply body (or one line of a streamed one) may hold: far above
// any answer a provider gives, an image included, yet a server that never
// stops sending cannot make the program grow until it is killed.
inline constexpr std::size_t kMaxResponseBytes = 32u << 20;

struct HttpRequest {
    std::string method = "GET";
    std::string url;
    HttpHeaders headers;  // sent in this order
    std::string body;
    // Idle limit: the request fails with URLError::TimedOut when no byte moves
    // for this long. Not a limit on the whole transfer: a long answer that
    // keeps arriving never times out.
    std::chrono::milliseconds timeout{60'000};
    // Limit on the whole request, however steadily bytes arrive, so a server
    // that trickles a byte now and then cannot hold it for ever. Zero: none.
    std::chrono::milliseconds totalTimeout{600'000};
    // Largest body `send` returns, and largest unread part of a stream: past
    // it the request fails with URLError::DataLengthExceedsMaximum.
    std::size_t maxResponseBytes = kMaxResponseBytes;
    // The address came from a test hook, not from the program itself. The
    // transport then connects only to this machine (localhost, 127.0.0.0/8,
    // [::1]), through no proxy, deciding on the address exactly as it will
    // connect to it; anything else fails with URLError::BadURL before a
    // connection is made.
    bool loopbackOnly = false;
    std::shared_ptr<CancellationToken> cancellation;
};

struct HttpResponse {
    // Absent when the answer was not an HTTP answer at all; only a fake
    // transport produces that.
    std::optional<int> status;
    HttpHeaders headers;  // names as received
    std::string body;

    // First header of that name, compared without regard to case.
    std::optional<std::string> header(std::string_view name) const;
};

// Transport failures, with the URL-loading codes and texts the callers show.
class URLError : public Error {
public:
    enum Code : long {
        Cancelled = -999,
        BadURL = -1000,
        TimedOut = -1001,
        UnsupportedURL = -1002,
        CannotFindHost = -1003,
        CannotConnectToHost = -1004,
        NetworkConnectionLost = -1005,
        NotConnectedToInternet = -1009,
        BadServerResponse = -1011,
        DataLengthExceedsMaximum = -1103,
        SecureConnectionFailed = -1200,
        Unknown = -1,
    };
    static constexpr const char* kDomain = "NSURLErrorDomain";

    explicit URLError(Code code);
    URLError(Code code, std::string description);
    Code urlCode() const { return static_cast<Code>(code()); }

    static const char* defaultDescription(Code code);
};

// A response whose body arrives in pieces. `open` returns once the status line
// and headers are in; `read` then blocks for the next piece.
class HttpStream {
public:
    virtual ~HttpStream() = default;
    virtual const HttpResponse& head() const = 0;  // status and headers; body empty
    // Next bytes of the body, or nothing at its end. Throws URLError when the
    // transfer fails, stalls past the time-out, runs past the total limit or
    // is cancelled.
    virtual std::optional<std::string> read() = 0;
    // Stops the transfer; a blocked or later read throws URLError::Cancelled.
    virtual void cancel() = 0;
};

// The HTTP transport. Every call blocks its thread; run it on a worker.
// Implementations are safe to use from several threads at once. Redirects are
// never followed (they would carry an API key to another host).
class HttpClient {
public:
    virtual ~HttpClient() = default;
    // Throws URLError on a transport failure; any HTTP status is a response.
    virtual HttpResponse send(const HttpRequest& request) = 0;
    virtual std::unique_ptr<HttpStream> open(const HttpRequest& request) = 0;

    // The process-wide client, for objects made without one: the transport
    // module's deferred client (nothing is loaded before the first request),
    // made on first use as a library default (see LibraryDefaults).
    static std::shared_ptr<HttpClient> shared();
};

// Splits a streamed body into lines: terminators (\n, \r\n, \r) removed,
// invalid UTF-8 replaced with U+FFFD, empty lines skipped.
class HttpLineReader {
public:
    explicit HttpLineReader(HttpStream& stream, std::size_t maxLineBytes = kMaxResponseBytes)
        : stream_(stream), maxLineBytes_(maxLineBytes) {}
    // The next non-empty line, or nothing at the end of the body. A final line
    // without terminator is delivered too. Throws what the stream throws, and
    // URLError::DataLengthExceedsMaximum for a line longer than the limit.
    std::optional<std::string> nextLine();

private:
    std::string lineAt(std::size_t start, std::size_t end) const;

    HttpStream& stream_;
    const std::size_t maxLineBytes_;
    std::string buffer_;
    std::size_t start_ = 0;  // first byte of the buffer not yet handed out
    std::size_t scanned_ = 0;
    bool ended_ = false;
    bool pendingCR_ = false;
};

}  // namespace platform
