#pragma once

#include <deque>
#include <mutex>
#include <variant>

#include "platform/HttpClient.h"

namespace platform {

// An HttpClient that answers from a script and records every request, for
// tests of code that talks to a server. Answers are taken in order by `send`
// and `open` alike; a call with nothing scripted throws URLError::Unknown.
// Thread-safe.
class FakeHttpClient final : public HttpClient {
public:
    // A streamed answer: the head, the body's pieces in order, then either the
    // end of the body or, when set, this error.
    struct StreamScript {
        HttpResponse head;
        std::vector<std::string> chunks;
        std::optional<URLError> error;
    };

    // The next answer is this response; a default HttpResponse has no status,
    // the "not an HTTP response" case.
    void enqueue(HttpResponse response);
    void enqueue(int status, std::string body, HttpHeaders headers = {});
    // The next call throws this error.
    void enqueueError(URLError error);
    // The next answer arrives in pieces (`send` gets them joined).
    void enqueueStream(StreamScript script);

    std::vector<HttpRequest> requests() const;
    std::size_t pendingAnswers() const;

    HttpResponse send(const HttpRequest& request) override;
    std::unique_ptr<HttpStream> open(const HttpRequest& request) override;

private:
    using Answer = std::variant<HttpResponse, URLError, StreamScript>;
    Answer take(const HttpRequest& request);

    mutable std::mutex mutex_;
    std::deque<Answer> answers_;
    std::vector<HttpRequest> requests_;
};

}  // namespace platform
