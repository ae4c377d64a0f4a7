#pragma once

#include <memory>

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
// fails when no byte moves for that long, whether connecting or transferring;
// its total limit ends it however steadily bytes move, and its size limit
// bounds what is kept of the answer. The address is parsed once, and that
// parse is what the transfer connects to.
// Connections left open by complete answers are kept by the client and reused
// by its later requests to the same server.
class CurlHttpClient final : public HttpClient {
public:
    CurlHttpClient();
    ~CurlHttpClient() override;

    HttpResponse send(const HttpRequest& request) override;
    std::unique_ptr<HttpStream> open(const HttpRequest& request) override;

    class ConnectionPool;

private:
    // Shared with the transfers, so a stream may outlive the client.
    std::shared_ptr<ConnectionPool> pool_;
};

}  // namespace platform
