#include "platform/TransferGroup.h"

namespace platform {

// One request's place in the group, from its start until its transfer ends;
// the request carries the token that cancelAll raises.
class TransferGroup::Member {
public:
    Member(std::shared_ptr<State> state, const HttpRequest& request) : state_(std::move(state)) {
        std::lock_guard lock(state_->mutex);
        if (state_->cancelled)
            throw URLError(URLError::Cancelled);
        if (request.cancellation) {
            token_ = request.cancellation;
        } else {
            copy_ = request;
            copy_->cancellation = token_ = std::make_shared<CancellationToken>();
        }
        state_->tokens.insert(token_);
    }
    ~Member() {
        std::lock_guard lock(state_->mutex);
        state_->tokens.erase(state_->tokens.find(token_));
    }
    Member(const Member&) = delete;
    Member& operator=(const Member&) = delete;

    const HttpRequest& request(const HttpRequest& original) const { return copy_ ? *copy_ : original; }

private:
    std::shared_ptr<State> state_;
    std::shared_ptr<CancellationToken> token_;
    std::optional<HttpRequest> copy_;  // only when the caller gave no token
};

class TransferGroup::GroupStream final : public HttpStream {
public:
    GroupStream(std::unique_ptr<Member> member, std::unique_ptr<HttpStream> stream)
        : member_(std::move(member)), stream_(std::move(stream)) {}
    const HttpResponse& head() const override { return stream_->head(); }
    std::optional<std::string> read() override { return stream_->read(); }
    void cancel() override { stream_->cancel(); }

private:
    std::unique_ptr<Member> member_;  // leaves the group after the stream is gone
    std::unique_ptr<HttpStream> stream_;
};

TransferGroup::TransferGroup(std::shared_ptr<HttpClient> transport)
    : transport_(std::move(transport)), state_(std::make_shared<State>()) {}

HttpResponse TransferGroup::send(const HttpRequest& request) {
    const Member member(state_, request);
    return transport_->send(member.request(request));
}

std::unique_ptr<HttpStream> TransferGroup::open(const HttpRequest& request) {
    auto member = std::make_unique<Member>(state_, request);
    auto stream = transport_->open(member->request(request));
    return std::make_unique<GroupStream>(std::move(member), std::move(stream));
}

void TransferGroup::cancelAll() {
    std::lock_guard lock(state_->mutex);
    state_->cancelled = true;
    for (const auto& token : state_->tokens)
        token->cancel();
}

bool TransferGroup::isCancelled() const {
    std::lock_guard lock(state_->mutex);
    return state_->cancelled;
}

std::size_t TransferGroup::inFlight() const {
    std::lock_guard lock(state_->mutex);
    return state_->tokens.size();
}

}  // namespace platform
