#pragma once

#include <memory>
#include <mutex>
#include <set>

#include "platform/HttpClient.h"

namespace platform {

// An HttpClient that passes every request on to another one and can stop all
// of them at once: what the program hands its provider clients, so that quit
// ends the transfers still running instead of waiting for their answers.
// Thread-safe.
class TransferGroup final : public HttpClient {
public:
    explicit TransferGroup(std::shared_ptr<HttpClient> transport);

    HttpResponse send(const HttpRequest& request) override;
    std::unique_ptr<HttpStream> open(const HttpRequest& request) override;

    // Cancels every transfer in flight (each fails with URLError::Cancelled,
    // a stream at its next read); later requests fail at once the same way.
    void cancelAll();
    bool isCancelled() const;
    std::size_t inFlight() const;

private:
    class Member;
    class GroupStream;

    std::shared_ptr<HttpClient> transport_;
    // Shared with the streams handed out, which may outlive the group.
    struct State {
        mutable std::mutex mutex;
        std::multiset<std::shared_ptr<CancellationToken>> tokens;
        bool cancelled = false;
    };
    std::shared_ptr<State> state_;
};

}  // namespace platform
