#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gemini/GenerateContentError.h"
#include "gemini/GenerateContentRequest.h"
#include "gemini/GenerateContentStream.h"
#include "gemini/GenerativeAIService.h"
#include "gemini/PartsRepresentable.h"
#include "platform/Executor.h"

namespace gemini {

class Chat;

// The public entry point of the client: one model, its key and its fixed
// configuration. Immutable; copies share the same model, and every call is
// independent, so one model may serve several threads at once.
class GenerativeModel {
public:
    static constexpr std::string_view modelsPrefix = "models/";

    // Copied into every request.
    struct Configuration {
        std::optional<GenerationConfig> generationConfig;
        std::optional<std::vector<SafetySetting>> safetySettings;
        std::optional<std::vector<Tool>> tools;
        std::optional<ToolConfig> toolConfig;
        std::optional<ModelContent> systemInstruction;
        RequestOptions requestOptions;
    };

    // A deferred list of contents; evaluated once, when the call starts.
    using ContentsProducer = std::function<std::vector<ModelContent>()>;

    // `name` gets the "models/" prefix unless it already holds a slash.
    // Requests go through `http`, or the process-wide client
    // (platform::HttpClient::shared()) when it is null. Streamed answers are
    // read on `executor`'s workers, or on the process-wide stream executor
    // (StreamExecutor::shared()) of a model made without one; shutting it
    // down ends them.
    GenerativeModel(std::string_view name, std::string apiKey, Configuration configuration = {},
                    std::shared_ptr<platform::HttpClient> http = nullptr,
                    std::string baseURL = std::string(kDefaultBaseURL),
                    std::shared_ptr<platform::Executor> executor = nullptr);

    // A system instruction of role "system" with one text part per string
    // (present even when the list is empty).
    static ModelContent systemInstruction(const std::vector<std::string>& texts);

    const std::string& modelResourceName() const { return state_->modelResourceName; }
    const Configuration& configuration() const { return state_->configuration; }

    // One-shot generation. Throws GenerateContentError: promptImageContentError
    // for an image that does not convert, invalidAPIKey, unsupportedUserLocation,
    // promptBlocked, responseStoppedEarly, and internalError for everything else.
    GenerateContentResponse generateContent(const std::vector<PartsValue>& parts) const;
    GenerateContentResponse generateContent(const std::vector<ModelContent>& contents) const;
    GenerateContentResponse generateContent(const ContentsProducer& contents) const;

    // Streamed generation: the request goes out at once on a worker, which
    // reads the answer to its end even when the stream is dropped earlier;
    // the stream ends with the same errors as generateContent.
    GenerateContentStream generateContentStream(const std::vector<PartsValue>& parts) const;
    GenerateContentStream generateContentStream(const std::vector<ModelContent>& contents) const;
    GenerateContentStream generateContentStream(const ContentsProducer& contents) const;

    // Throws CountTokensError wrapping whatever failed.
    CountTokensResponse countTokens(const std::vector<PartsValue>& parts) const;
    CountTokensResponse countTokens(const std::vector<ModelContent>& contents) const;
    CountTokensResponse countTokens(const ContentsProducer& contents) const;

    // A conversation with this model, starting from `history`.
    std::shared_ptr<Chat> startChat(std::vector<ModelContent> history = {}) const;

    // The error a caller sees for any failure of a call.
    static GenerateContentError generateContentError(std::exception_ptr error);
    // Throws promptBlocked or responseStoppedEarly for a reply that carries one.
    static void checkResponse(const GenerateContentResponse& response);

private:
    friend class Chat;

    struct State {
        std::string modelResourceName;
        GenerativeAIService service;
        Configuration configuration;

        GenerateContentRequest makeRequest(std::vector<ModelContent> contents, bool streaming) const;
    };
    GenerateContentResponse generate(const std::function<std::vector<ModelContent>()>& contents) const;
    GenerateContentStream stream(const std::function<std::vector<ModelContent>()>& contents) const;
    CountTokensResponse count(const std::function<std::vector<ModelContent>()>& contents) const;
    platform::Executor& streamExecutor() const;

    // What the workers use; the executor stays out of it, so a worker never
    // holds the executor it runs on.
    std::shared_ptr<const State> state_;
    std::shared_ptr<platform::Executor> executor_;
};

}  // namespace gemini
