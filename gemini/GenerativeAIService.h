#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "gemini/GenerateContentRequest.h"
#include "gemini/GenerateContentStream.h"
#include "platform/HttpClient.h"

namespace gemini {

// The client's version, sent in "x-goog-api-client".
struct GenerativeAIInfo {
    static constexpr std::string_view version = "0.5.6";
};

// The public endpoint of the service; tests pass their own server instead.
inline constexpr std::string_view kDefaultBaseURL = "https://generativelanguage.googleapis.com";

// The HTTP layer: turns a request record into a POST, sends it and decodes the
// answer or the server's error body. Holds no state besides the key, the
// transport and the base URL; copies share the transport.
class GenerativeAIService {
public:
    GenerativeAIService(std::string apiKey, std::shared_ptr<platform::HttpClient> http,
                        std::string baseURL = std::string(kDefaultBaseURL));

    // One whole exchange. Throws the encoder's or the URL check's error
    // (nothing sent), the transport's URLError, RPCError for any status but
    // 200 (or the DecodingError of an error body that is no error document),
    // and the DecodingError of a 200 body that does not decode.
    GenerateContentResponse loadRequest(const GenerateContentRequest& request) const;
    CountTokensResponse loadRequest(const CountTokensRequest& request) const;

    // The streamed exchange on the calling thread: hands each "data:" event
    // to `onEvent` as it arrives and returns at the end of the body. Throws
    // what the whole exchange would throw, or what `onEvent` throws (the rest
    // of the body is left unread then). The transfer stops with
    // URLError::Cancelled when `cancellation` is raised.
    using EventHandler = std::function<void(GenerateContentResponse)>;
    void loadRequestStream(const GenerateContentRequest& request, const EventHandler& onEvent,
                           std::shared_ptr<platform::CancellationToken> cancellation = nullptr) const;
    // The same into a stream's producing end, which it always finishes,
    // normally or with the error.
    void loadRequestStream(const GenerateContentRequest& request,
                           const GenerateContentStream::Continuation& continuation,
                           std::shared_ptr<platform::CancellationToken> cancellation = nullptr) const;

    // The HTTP request for a record; public for the tests.
    template <class Request>
    platform::HttpRequest urlRequest(const Request& request) const {
        return makeRequest(request.url(baseURL_), request.toJson(), request.options.timeout);
    }

    const std::string& apiKey() const { return apiKey_; }
    const std::string& baseURL() const { return baseURL_; }

private:
    platform::HttpRequest makeRequest(std::string url, const nlohmann::json& body, double timeoutSeconds) const;
    // The body of a 200 answer; throws for everything else.
    std::string exchange(const platform::HttpRequest& request) const;

    std::string apiKey_;
    std::shared_ptr<platform::HttpClient> http_;
    std::string baseURL_;
};

}  // namespace gemini
