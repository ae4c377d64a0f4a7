#include "gemini/GenerativeAIService.h"

#include <chrono>
#include <cmath>

#include <fmt/format.h>

#include "gemini/DecodingError.h"
#include "gemini/JsonWriter.h"
#include "gemini/Logging.h"
#include "gemini/RPCError.h"
#include "platform/Logger.h"
#include "platform/Required.h"
#include "platform/Unicode.h"

namespace gemini {
namespace {

platform::Error notHTTPError() {
    return platform::Error(std::string(kClientIdentifier), -1, "Response was not an HTTP response.");
}

std::string describeResponse(const platform::HttpRequest& request, const platform::HttpResponse& response) {
    return fmt::format("<HTTP response {} status {}>", request.url, response.status.value_or(0));
}

// Decodes a success body or event; on failure logs the text and the error,
// then passes the error on.
template <class T>
T parseResponse(std::string_view text) {
    try {
        return T::decode(text);
    } catch (const std::exception& e) {
        if (platform::unicode::isValidUtf8(text))
            Logging::network()->error(fmt::format("[GeminiClient] JSON response: {}", platform::outsideText(text)));
        const auto* decoding = dynamic_cast<const DecodingError*>(&e);
        Logging::default_()->error(
            fmt::format("[GeminiClient] Error decoding server JSON: {}",
                        platform::outsideText(decoding ? decoding->debugDescription() : std::string(e.what()))));
        throw;
    }
}

// The error of an answer with a status other than 200: the server's error
// document, or why it is none.
std::exception_ptr errorFromBody(std::string_view text) {
    try {
        return std::make_exception_ptr(RPCError::decode(text));
    } catch (...) {
        return std::current_exception();
    }
}

}  // namespace

GenerativeAIService::GenerativeAIService(std::string apiKey, std::shared_ptr<platform::HttpClient> http,
                                         std::string baseURL)
    : apiKey_(std::move(apiKey)),
      http_(platform::required(std::move(http), "GenerativeAIService: the HTTP client")),
      baseURL_(std::move(baseURL)) {
    while (!baseURL_.empty() && baseURL_.back() == '/') baseURL_.pop_back();
}

platform::HttpRequest GenerativeAIService::makeRequest(std::string url, const nlohmann::json& body,
                                                       double timeoutSeconds) const {
    platform::HttpRequest request;
    request.method = "POST";
    request.url = std::move(url);
    request.headers = {
        {"x-goog-api-key", apiKey_},
        {"x-goog-api-client", fmt::format("gemini-client-cpp/{}", GenerativeAIInfo::version)},
        {"Content-Type", "application/json"},
    };
    request.body = JsonWriter::serialize(body);
    const double milliseconds = std::isfinite(timeoutSeconds) && timeoutSeconds > 0 ? timeoutSeconds * 1000 : 0;
    request.timeout = std::chrono::milliseconds(static_cast<std::int64_t>(std::min(milliseconds, 1e15)));
    return request;
}

std::string GenerativeAIService::exchange(const platform::HttpRequest& request) const {
    auto response = http_->send(request);
    if (!response.status) {
        Logging::default_()->error(fmt::format("[GeminiClient] Response wasn't an HTTP response, internal error {}",
                                               describeResponse(request, response)));
        throw notHTTPError();
    }
    if (*response.status == 200) return std::move(response.body);

    Logging::network()->error(
        fmt::format("[GeminiClient] The server responded with an error: {}", describeResponse(request, response)));
    if (platform::unicode::isValidUtf8(response.body))
        Logging::default_()->error(fmt::format("[GeminiClient] Response payload: {}", platform::outsideText(response.body)));
    std::rethrow_exception(errorFromBody(response.body));
}

GenerateContentResponse GenerativeAIService::loadRequest(const GenerateContentRequest& request) const {
    return parseResponse<GenerateContentResponse>(exchange(urlRequest(request)));
}

CountTokensResponse GenerativeAIService::loadRequest(const CountTokensRequest& request) const {
    return parseResponse<CountTokensResponse>(exchange(urlRequest(request)));
}

void GenerativeAIService::loadRequestStream(const GenerateContentRequest& request, const EventHandler& onEvent,
                                            std::shared_ptr<platform::CancellationToken> cancellation) const {
    auto httpRequest = urlRequest(request);
    httpRequest.cancellation = std::move(cancellation);
    const auto stream = http_->open(httpRequest);
    const auto& head = stream->head();
    if (!head.status) {
        Logging::default_()->error(fmt::format("[GeminiClient] Response wasn't an HTTP response, internal error {}",
                                               describeResponse(httpRequest, head)));
        throw notHTTPError();
    }
    // A line can carry a whole image, so it may be as long as a body; the
    // text kept across lines has the same bound.
    const std::size_t limit = httpRequest.maxResponseBytes;
    platform::HttpLineReader lines(*stream, limit);
    const auto keep = [limit](std::string& kept, const std::string& line) {
        if (kept.size() + line.size() >= limit) throw platform::URLError(platform::URLError::DataLengthExceedsMaximum);
        kept += line;
    };

    if (*head.status != 200) {
        Logging::network()->error(fmt::format("[GeminiClient] The server responded with an error: {}",
                                              describeResponse(httpRequest, head)));
        std::string errorText;
        while (auto line = lines.nextLine()) {
            keep(errorText, *line);
            errorText += '\n';
        }
        Logging::default_()->error(fmt::format("[GeminiClient] Response payload: {}", platform::outsideText(errorText)));
        std::rethrow_exception(errorFromBody(errorText));
    }

    // Lines that are no "data:" event: at the end of the body, the service's
    // error document when there is one.
    const auto network = Logging::network();
    std::string leftover;
    while (auto line = lines.nextLine()) {
        if (network->isEnabled())
            network->debug(fmt::format("[GeminiClient] Stream response: {}", platform::outsideText(*line)));
        if (line->starts_with("data:"))
            onEvent(parseResponse<GenerateContentResponse>(std::string_view(*line).substr(5)));
        else
            keep(leftover, *line);
    }
    if (!leftover.empty()) std::rethrow_exception(errorFromBody(leftover));
}

void GenerativeAIService::loadRequestStream(const GenerateContentRequest& request,
                                            const GenerateContentStream::Continuation& continuation,
                                            std::shared_ptr<platform::CancellationToken> cancellation) const {
    try {
        loadRequestStream(
            request, [&](GenerateContentResponse event) { continuation.yield(std::move(event)); },
            std::move(cancellation));
        continuation.finish();
    } catch (...) {
        continuation.finish(std::current_exception());
    }
}

}  // namespace gemini
