#include "gemini/GenerativeModel.h"

#include <fmt/format.h>

#include "gemini/Chat.h"
#include "gemini/ImageConversionError.h"
#include "gemini/Logging.h"
#include "gemini/RPCError.h"
#include "gemini/StreamExecutor.h"

namespace gemini {
namespace {

std::string resourceName(std::string_view name) {
    if (name.find('/') != std::string_view::npos) return std::string(name);
    return std::string(GenerativeModel::modelsPrefix) + std::string(name);
}

std::function<std::vector<ModelContent>()> fromParts(const std::vector<PartsValue>& parts) {
    return [&parts] { return std::vector<ModelContent>{ModelContent::fromValues(parts)}; };
}

std::function<std::vector<ModelContent>()> ready(const std::vector<ModelContent>& contents) {
    return [&contents] { return contents; };
}

}  // namespace

GenerativeModel::GenerativeModel(std::string_view name, std::string apiKey, Configuration configuration,
                                 std::shared_ptr<platform::HttpClient> http, std::string baseURL,
                                 std::shared_ptr<platform::Executor> executor)
    : state_(std::make_shared<const State>(State{resourceName(name),
                                                 GenerativeAIService(std::move(apiKey),
                                                                     http ? std::move(http) : platform::HttpClient::shared(),
                                                                     std::move(baseURL)),
                                                 std::move(configuration)})),
      executor_(std::move(executor)) {
    Logging::default_()->info(fmt::format(
        "[GeminiClient] Model {} initialized. To enable additional logging, add `{}` as a command-line argument.",
        name, kDebugLogArgument));
    Logging::verbose()->debug("[GeminiClient] Verbose logging enabled.");
}

ModelContent GenerativeModel::systemInstruction(const std::vector<std::string>& texts) {
    std::vector<ModelContent::Part> parts;
    for (const auto& text : texts) parts.push_back(ModelContent::Part::text(text));
    return ModelContent("system", std::move(parts));
}

GenerateContentRequest GenerativeModel::State::makeRequest(std::vector<ModelContent> contents, bool streaming) const {
    const auto& c = configuration;
    return GenerateContentRequest{modelResourceName,
                                  std::move(contents),
                                  c.generationConfig,
                                  c.safetySettings,
                                  c.tools,
                                  c.toolConfig,
                                  c.systemInstruction,
                                  streaming,
                                  c.requestOptions};
}

GenerateContentError GenerativeModel::generateContentError(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const GenerateContentError& e) {
        return e;
    } catch (const RPCError& e) {
        const auto info = e.errorInfo();
        if (info && info->reason == "API_KEY_INVALID") return GenerateContentError::invalidAPIKey(e.message());
        if (e.message() == "User location is not supported for the API use.")
            return GenerateContentError::unsupportedUserLocation();
    } catch (...) {
    }
    return GenerateContentError::internalError(std::move(error));
}

void GenerativeModel::checkResponse(const GenerateContentResponse& response) {
    if (response.promptFeedback && response.promptFeedback->blockReason)
        throw GenerateContentError::promptBlocked(response);
    if (!response.candidates.empty()) {
        const auto& reason = response.candidates.front().finishReason;
        if (reason && *reason != FinishReason::stop) throw GenerateContentError::responseStoppedEarly(*reason, response);
    }
}

GenerateContentResponse GenerativeModel::generate(const std::function<std::vector<ModelContent>()>& contents) const {
    GenerateContentResponse response;
    try {
        response = state_->service.loadRequest(state_->makeRequest(contents(), false));
    } catch (...) {
        auto error = std::current_exception();
        if (exceptionAs<ImageConversionError>(error)) throw GenerateContentError::promptImageContentError(error);
        throw generateContentError(error);
    }
    checkResponse(response);
    return response;
}

GenerateContentResponse GenerativeModel::generateContent(const std::vector<PartsValue>& parts) const {
    return generate(fromParts(parts));
}
GenerateContentResponse GenerativeModel::generateContent(const std::vector<ModelContent>& contents) const {
    return generate(ready(contents));
}
GenerateContentResponse GenerativeModel::generateContent(const ContentsProducer& contents) const {
    return generate(contents);
}

platform::Executor& GenerativeModel::streamExecutor() const {
    if (executor_) return *executor_;
    return *StreamExecutor::shared();
}

GenerateContentStream GenerativeModel::stream(const std::function<std::vector<ModelContent>()>& contents) const {
    platform::Executor& executor = streamExecutor();
    std::vector<ModelContent> list;
    try {
        list = contents();
    } catch (...) {
        auto error = std::current_exception();
        if (exceptionAs<ImageConversionError>(error))
            return GenerateContentStream::failed(
                std::make_exception_ptr(GenerateContentError::promptImageContentError(error)));
        return GenerateContentStream::failed(std::make_exception_ptr(GenerateContentError::internalError(error)));
    }

    auto [stream, continuation] = GenerateContentStream::make();
    // The job owns copies of all it uses (the model's shared state, the
    // request, the buffer's producing end), so the caller may drop the
    // stream or the model at any time.
    auto end = std::make_shared<GenerateContentStream::Continuation>(std::move(continuation));
    const bool started = executor.submit([state = state_, request = state_->makeRequest(std::move(list), true),
                                            end](const platform::Executor::Token& token) {
        state->service.loadRequestStream(request, *end, token);
    });
    if (!started) end->finish(std::make_exception_ptr(platform::URLError(platform::URLError::Cancelled)));
    return std::move(stream).withChecks(&GenerativeModel::checkResponse, [](std::exception_ptr error) {
        return std::make_exception_ptr(generateContentError(std::move(error)));
    });
}

GenerateContentStream GenerativeModel::generateContentStream(const std::vector<PartsValue>& parts) const {
    return stream(fromParts(parts));
}
GenerateContentStream GenerativeModel::generateContentStream(const std::vector<ModelContent>& contents) const {
    return stream(ready(contents));
}
GenerateContentStream GenerativeModel::generateContentStream(const ContentsProducer& contents) const {
    return stream(contents);
}

CountTokensResponse GenerativeModel::count(const std::function<std::vector<ModelContent>()>& contents) const {
    try {
        auto request = state_->makeRequest(contents(), false);
        return state_->service.loadRequest(
            CountTokensRequest{state_->modelResourceName, std::move(request), state_->configuration.requestOptions});
    } catch (...) {
        throw CountTokensError::internalError(std::current_exception());
    }
}

CountTokensResponse GenerativeModel::countTokens(const std::vector<PartsValue>& parts) const {
    return count(fromParts(parts));
}
CountTokensResponse GenerativeModel::countTokens(const std::vector<ModelContent>& contents) const {
    return count(ready(contents));
}
CountTokensResponse GenerativeModel::countTokens(const ContentsProducer& contents) const { return count(contents); }

std::shared_ptr<Chat> GenerativeModel::startChat(std::vector<ModelContent> history) const {
    return std::make_shared<Chat>(*this, std::move(history));
}

}  // namespace gemini
