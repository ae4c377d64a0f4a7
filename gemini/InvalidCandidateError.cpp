#include "gemini/InvalidCandidateError.h"

#include <fmt/format.h>

#include "gemini/Logging.h"

namespace gemini {
namespace {

std::string userDescription(InvalidCandidateError::Kind kind, const DecodingError& underlying) {
    if (kind == InvalidCandidateError::Kind::emptyContent)
        return "Gemini returned an answer with empty content. Try again or rephrase the prompt.";
    return fmt::format("Gemini returned an answer whose content could not be read ({}).",
                       underlying.debugDescription());
}

}  // namespace

InvalidCandidateError::InvalidCandidateError(Kind kind, DecodingError underlyingError)
    : platform::Error(std::string(kClientIdentifier) + ".InvalidCandidateError", static_cast<long>(kind),
                      userDescription(kind, underlyingError)),
      kind_(kind),
      underlying_(std::move(underlyingError)) {}

}  // namespace gemini
