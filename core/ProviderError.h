#pragma once

#include <string>

#include "platform/Error.h"

namespace core {

// A provider's failure as the panel shows it: the domain names the provider
// ("OpenAI", "Claude", "Gemini", "Ollama", or "AI" for a reply that is not
// HTTP), the code is the HTTP status or -1, the description is for the user.
class ProviderError : public platform::Error {
public:
    ProviderError(std::string domain, long code, std::string description)
        : Error(std::move(domain), code, std::move(description)) {}
};

}  // namespace core
