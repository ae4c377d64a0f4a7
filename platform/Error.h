#pragma once

#include <exception>
#include <string>

namespace platform {

// The one error base of the program: every failure that can reach a user
// (provider, transport, JSON, Gemini client) derives from it, so the panel can
// show `what()` whatever was thrown.
class Error : public std::exception {
public:
    Error(std::string domain, long code, std::string description);

    const std::string& domain() const noexcept { return domain_; }
    long code() const noexcept { return code_; }
    const std::string& description() const noexcept { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    std::string domain_;
    long code_;
    std::string description_;
};

}  // namespace platform
