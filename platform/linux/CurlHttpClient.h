#pragma once

#include "platform/HttpClient.h"

namespace platform {

// The HTTP transport on libcurl. Each call runs its own transfer on the
// calling thread (curl's multi interface, so a stream's `read` can wait for
// bytes, notice a time-out and be woken by `cancel` without a helper thread).
//
// What goes on the wire is what the caller asked for: the request's headers in
// their order plus only what HTTP itself needs (Host, Content-Length); curl's
// own Accept, Content-Type and Expect headers are suppressed. TLS peers are
// verified, redirects are returned as responses, never followed, and no
// signals are used. The request's time-out is an idle limit: the transfer
// fails when no byte moves for that long, whether connecting or transferring.
class CurlHttpClient final : public HttpClient {
public:
    CurlHttpClient();

    HttpResponse send(const HttpRequest& request) override;
    std::unique_ptr<HttpStream> open(const HttpRequest& request) override;
};

}  // namespace platform
