#pragma once

#include <exception>
#include <optional>
#include <string>

#include "gemini/GenerateContentResponse.h"
#include "platform/Error.h"

namespace gemini {

// The error held by `error` as type E, or null when it is of another type (or
// there is none). The pointer stays valid while `error` holds the object.
template <class E>
const E* exceptionAs(const std::exception_ptr& error) {
    if (!error) return nullptr;
    try {
        std::rethrow_exception(error);
    } catch (const E& e) {
        return &e;
    } catch (...) {
        return nullptr;
    }
}

// What generate-content and chat calls throw.
class GenerateContentError : public platform::Error {
public:
    enum class Kind {
        promptImageContentError,
        internalError,
        promptBlocked,
        responseStoppedEarly,
        invalidAPIKey,
        unsupportedUserLocation,
    };

    // `underlying` holds an ImageConversionError.
    static GenerateContentError promptImageContentError(std::exception_ptr underlying);
    static GenerateContentError internalError(std::exception_ptr underlying);
    static GenerateContentError promptBlocked(GenerateContentResponse response);
    static GenerateContentError responseStoppedEarly(FinishReason reason, GenerateContentResponse response);
    static GenerateContentError invalidAPIKey(std::string message);
    static GenerateContentError unsupportedUserLocation();

    Kind kind() const { return kind_; }
    // The wrapped error (promptImageContentError, internalError).
    const std::exception_ptr& underlying() const { return underlying_; }
    // The wrapped error as type E, or null when it is of another type.
    template <class E>
    const E* underlyingAs() const {
        return exceptionAs<E>(underlying_);
    }
    // The whole reply (promptBlocked, responseStoppedEarly).
    const std::optional<GenerateContentResponse>& response() const { return response_; }
    std::optional<FinishReason> reason() const { return reason_; }
    // The server's message (invalidAPIKey).
    const std::string& message() const { return message_; }

private:
    GenerateContentError(Kind kind, std::string description);
    Kind kind_;
    std::exception_ptr underlying_;
    std::optional<GenerateContentResponse> response_;
    std::optional<FinishReason> reason_;
    std::string message_;
};

// What count-tokens calls throw: every failure, wrapped.
class CountTokensError : public platform::Error {
public:
    static CountTokensError internalError(std::exception_ptr underlying);

    const std::exception_ptr& underlying() const { return underlying_; }
    template <class E>
    const E* underlyingAs() const {
        return exceptionAs<E>(underlying_);
    }

private:
    CountTokensError(std::string description, std::exception_ptr underlying);
    std::exception_ptr underlying_;
};

// The description of any caught error, for wrappers that show it.
std::string describeError(const std::exception_ptr& error);

}  // namespace gemini
