#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "platform/Error.h"

namespace core {

// A reply body that is not JSON at all. Domain, code and text are those of
// the platform's JSON parser, which is what a user would see for it anywhere
// else; the parser's own detail goes to `detail()` for logs.
class JsonError : public platform::Error {
public:
    static constexpr const char* kDomain = "NSCocoaErrorDomain";
    static constexpr long kCode = 3840;

    explicit JsonError(std::string detail);
    const std::string& detail() const noexcept { return detail_; }

private:
    std::string detail_;
};

// Parses a reply body. Invalid UTF-8 is replaced with U+FFFD first, so a stray
// byte in an answer costs one character rather than the whole answer.
// Throws JsonError when the body is not JSON.
nlohmann::json parseReplyJson(std::string_view body);

// Serialises a request body; invalid UTF-8 in any string goes out as U+FFFD.
std::string dumpRequestJson(const nlohmann::json& body);

}  // namespace core
