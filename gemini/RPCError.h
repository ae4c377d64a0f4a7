#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gemini/RawValue.h"
#include "platform/Error.h"

namespace gemini {

class JsonReader;

// The google.rpc.Code names the service puts in "status".
enum class RPCStatus {
    ok,
    cancelled,
    unknown,
    invalidArgument,
    deadlineExceeded,
    notFound,
    alreadyExists,
    permissionDenied,
    unauthenticated,
    resourceExhausted,
    failedPrecondition,
    aborted,
    outOfRange,
    unimplemented,
    internalError,
    unavailable,
    dataLoss,
};

template <>
struct EnumTraits<RPCStatus> {
    using E = RPCStatus;
    static constexpr std::string_view name = "RPCStatus";
    static constexpr std::array<std::pair<E, std::string_view>, 17> table = {{
        {E::ok, "OK"},
        {E::cancelled, "CANCELLED"},
        {E::unknown, "UNKNOWN"},
        {E::invalidArgument, "INVALID_ARGUMENT"},
        {E::deadlineExceeded, "DEADLINE_EXCEEDED"},
        {E::notFound, "NOT_FOUND"},
        {E::alreadyExists, "ALREADY_EXISTS"},
        {E::permissionDenied, "PERMISSION_DENIED"},
        {E::unauthenticated, "UNAUTHENTICATED"},
        {E::resourceExhausted, "RESOURCE_EXHAUSTED"},
        {E::failedPrecondition, "FAILED_PRECONDITION"},
        {E::aborted, "ABORTED"},
        {E::outOfRange, "OUT_OF_RANGE"},
        {E::unimplemented, "UNIMPLEMENTED"},
        {E::internalError, "INTERNAL"},
        {E::unavailable, "UNAVAILABLE"},
        {E::dataLoss, "DATA_LOSS"},
    }};
};

// One element of an error's "details".
struct ErrorDetails {
    std::string type;  // "@type"
    std::optional<std::string> reason;
    std::optional<std::string> domain;

    friend bool operator==(const ErrorDetails&, const ErrorDetails&) = default;
    static ErrorDetails decode(const JsonReader& reader);
};

// The inner "error" object of an error body.
struct ErrorStatus {
    std::optional<std::int64_t> code;
    std::optional<std::string> message;
    std::optional<RPCStatus> status;
    std::vector<ErrorDetails> details;

    static ErrorStatus decode(const JsonReader& reader);
};

// The service's answer to a request it refused (any status but 200).
class RPCError : public platform::Error {
public:
    static constexpr std::string_view kErrorInfoType = "type.googleapis.com/google.rpc.ErrorInfo";

    RPCError(std::int64_t httpResponseCode, std::string message, RPCStatus status, std::vector<ErrorDetails> details);

    // From the body's "code"; -1 when absent (not from the status line).
    std::int64_t httpResponseCode() const { return httpResponseCode_; }
    const std::string& message() const { return message_; }
    RPCStatus status() const { return status_; }
    const std::vector<ErrorDetails>& details() const { return details_; }

    // The first details entry of the google.rpc.ErrorInfo type.
    std::optional<ErrorDetails> errorInfo() const;

    static RPCError decode(const JsonReader& reader);
    // Parses and decodes an error body; throws DecodingError.
    static RPCError decode(std::string_view jsonText);

private:
    std::int64_t httpResponseCode_;
    std::string message_;
    RPCStatus status_;
    std::vector<ErrorDetails> details_;
};

}  // namespace gemini
