#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "platform/HttpClient.h"

namespace platform {

// An HttpClient whose real transport is made by the first request, not when
// the client is: owners take the client at start-up (so it outlives their
// workers at exit) while the network stack stays unloaded until it is
// needed. Concurrent first requests wait for the one that makes it. When
// making it fails, that request fails with a URLError and the next one
// tries again. Thread-safe.
class DeferredHttpClient final : public HttpClient {
public:
    using Factory = std::function<std::shared_ptr<HttpClient>()>;
    explicit DeferredHttpClient(Factory factory);

    HttpResponse send(const HttpRequest& request) override { return transport().send(request); }
    std::unique_ptr<HttpStream> open(const HttpRequest& request) override { return transport().open(request); }

    bool isMade() const;

private:
    HttpClient& transport();

    Factory factory_;
    mutable std::mutex mutex_;
    std::shared_ptr<HttpClient> transport_;
};

}  // namespace platform
