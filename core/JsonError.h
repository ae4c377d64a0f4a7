#pragma once

#include <string>

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

}  // namespace core
