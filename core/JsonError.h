#pragma once

#include <string>

#include "platform/Error.h"

namespace core {

// A reply body that is not JSON at all. Domain and code are the ones the
// program reports for this failure wherever it happens, and the text is the
// sentence a user sees; the parser's own detail goes to `detail()` for logs.
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
