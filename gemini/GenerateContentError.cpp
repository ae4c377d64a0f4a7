#include "gemini/GenerateContentError.h"

#include <fmt/format.h>

#include "gemini/Logging.h"

namespace gemini {
namespace {

std::string errorDomain(std::string_view type) { return fmt::format("{}.{}", kClientIdentifier, type); }

std::string blockedDescription(const GenerateContentResponse& response) {
    const auto reason = response.promptFeedback ? response.promptFeedback->blockReason : std::nullopt;
    if (reason == PromptFeedback::BlockReason::safety)
        return "Gemini blocked this prompt for safety reasons. Rephrase it and try again.";
    if (reason == PromptFeedback::BlockReason::other)
        return "Gemini blocked this prompt (reason: OTHER). Rephrase it and try again.";
    return "Gemini blocked this prompt. Rephrase it and try again.";
}

std::string stoppedDescription(FinishReason reason) {
    switch (reason) {
        case FinishReason::maxTokens:
            return "Gemini stopped the answer early because it reached the maximum number of tokens.";
        case FinishReason::safety:
            return "Gemini stopped the answer early for safety reasons. Rephrase the prompt and try again.";
        case FinishReason::recitation:
            return "Gemini stopped the answer early because it was reciting existing material.";
        case FinishReason::stop:
        case FinishReason::other:
        case FinishReason::unspecified:
        case FinishReason::unknown: break;
    }
    return fmt::format("Gemini stopped the answer early (reason: {}).", rawValue(reason));
}

}  // namespace

std::string describeError(const std::exception_ptr& error) {
    if (!error) return "An unknown error occurred in the Gemini client.";
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
    }
    return "An unknown error occurred in the Gemini client.";
}

GenerateContentError::GenerateContentError(Kind kind, std::string description)
    : platform::Error(errorDomain("GenerateContentError"), static_cast<long>(kind), std::move(description)),
      kind_(kind) {}

GenerateContentError GenerateContentError::promptImageContentError(std::exception_ptr underlying) {
    GenerateContentError e(Kind::promptImageContentError, describeError(underlying));
    e.underlying_ = std::move(underlying);
    return e;
}

GenerateContentError GenerateContentError::internalError(std::exception_ptr underlying) {
    // The wrapped error says what happened (a time-out, the server's message,
    // a reply that could not be read).
    GenerateContentError e(Kind::internalError, describeError(underlying));
    e.underlying_ = std::move(underlying);
    return e;
}

GenerateContentError GenerateContentError::promptBlocked(GenerateContentResponse response) {
    GenerateContentError e(Kind::promptBlocked, blockedDescription(response));
    e.response_ = std::move(response);
    return e;
}

GenerateContentError GenerateContentError::responseStoppedEarly(FinishReason reason, GenerateContentResponse response) {
    GenerateContentError e(Kind::responseStoppedEarly, stoppedDescription(reason));
    e.reason_ = reason;
    e.response_ = std::move(response);
    return e;
}

GenerateContentError GenerateContentError::invalidAPIKey(std::string message) {
    GenerateContentError e(Kind::invalidAPIKey,
                           message.empty() ? "The Gemini API key is not valid. Check it in the settings." : message);
    e.message_ = std::move(message);
    return e;
}

GenerateContentError GenerateContentError::unsupportedUserLocation() {
    return GenerateContentError(Kind::unsupportedUserLocation,
                                "Gemini is not available in your location: User location is not supported for the "
                                "API use.");
}

CountTokensError::CountTokensError(std::string description, std::exception_ptr underlying)
    : platform::Error(errorDomain("CountTokensError"), 0, std::move(description)), underlying_(std::move(underlying)) {}

CountTokensError CountTokensError::internalError(std::exception_ptr underlying) {
    auto description = describeError(underlying);
    return CountTokensError(std::move(description), std::move(underlying));
}

}  // namespace gemini
