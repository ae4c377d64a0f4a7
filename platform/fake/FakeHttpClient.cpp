#include "platform/fake/FakeHttpClient.h"

#include <atomic>

namespace platform {
namespace {

class FakeHttpStream final : public HttpStream {
public:
    FakeHttpStream(FakeHttpClient::StreamScript script, std::shared_ptr<CancellationToken> token)
        : script_(std::move(script)), token_(std::move(token)) {
        script_.head.body.clear();
    }

    const HttpResponse& head() const override { return script_.head; }

    std::optional<std::string> read() override {
        if (cancelled_.load() || (token_ && token_->isCancelled())) throw URLError(URLError::Cancelled);
        if (next_ < script_.chunks.size()) return script_.chunks[next_++];
        if (script_.error) throw *script_.error;
        return std::nullopt;
    }

    void cancel() override { cancelled_.store(true); }

private:
    FakeHttpClient::StreamScript script_;
    std::shared_ptr<CancellationToken> token_;
    std::size_t next_ = 0;
    std::atomic<bool> cancelled_{false};
};

}  // namespace

void FakeHttpClient::enqueue(HttpResponse response) {
    std::lock_guard lock(mutex_);
    answers_.emplace_back(std::move(response));
}

void FakeHttpClient::enqueue(int status, std::string body, HttpHeaders headers) {
    HttpResponse response;
    response.status = status;
    response.headers = std::move(headers);
    response.body = std::move(body);
    enqueue(std::move(response));
}

void FakeHttpClient::enqueueError(URLError error) {
    std::lock_guard lock(mutex_);
    answers_.emplace_back(std::move(error));
}

void FakeHttpClient::enqueueStream(StreamScript script) {
    std::lock_guard lock(mutex_);
    answers_.emplace_back(std::move(script));
}

std::vector<HttpRequest> FakeHttpClient::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::size_t FakeHttpClient::pendingAnswers() const {
    std::lock_guard lock(mutex_);
    return answers_.size();
}

FakeHttpClient::Answer FakeHttpClient::take(const HttpRequest& request) {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    if (answers_.empty())
        throw URLError(URLError::Unknown, "FakeHttpClient: no answer scripted for " + request.url);
    Answer answer = std::move(answers_.front());
    answers_.pop_front();
    return answer;
}

HttpResponse FakeHttpClient::send(const HttpRequest& request) {
    Answer answer = take(request);
    if (request.cancellation && request.cancellation->isCancelled()) throw URLError(URLError::Cancelled);
    if (auto* error = std::get_if<URLError>(&answer)) throw *error;
    if (auto* response = std::get_if<HttpResponse>(&answer)) return std::move(*response);
    auto& script = std::get<StreamScript>(answer);
    if (script.error) throw *script.error;
    HttpResponse response = std::move(script.head);
    response.body.clear();
    for (const auto& chunk : script.chunks) response.body += chunk;
    return response;
}

std::unique_ptr<HttpStream> FakeHttpClient::open(const HttpRequest& request) {
    Answer answer = take(request);
    if (request.cancellation && request.cancellation->isCancelled()) throw URLError(URLError::Cancelled);
    if (auto* error = std::get_if<URLError>(&answer)) throw *error;
    if (auto* response = std::get_if<HttpResponse>(&answer)) {
        StreamScript script{*response, {}, std::nullopt};
        if (!response->body.empty()) script.chunks.push_back(std::move(response->body));
        return std::make_unique<FakeHttpStream>(std::move(script), request.cancellation);
    }
    return std::make_unique<FakeHttpStream>(std::get<StreamScript>(std::move(answer)), request.cancellation);
}

}  // namespace platform
