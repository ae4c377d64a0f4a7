#include "gemini/DecodingError.h"

#include <fmt/format.h>

#include "gemini/Logging.h"

namespace gemini {
namespace {

std::string userDescription(const CodingPath& path, const std::string& debug) {
    if (path.empty()) return fmt::format("The reply from Gemini could not be read: {}", debug);
    return fmt::format("The reply from Gemini could not be read: {} (at {})", debug, describe(path));
}

}  // namespace

DecodingError::DecodingError(Kind kind, CodingPath path, std::string debugDescription, std::string summary)
    : platform::Error(std::string(kClientIdentifier) + ".DecodingError", static_cast<long>(kind),
                      userDescription(path, summary.empty() ? debugDescription : summary)),
      kind_(kind),
      path_(std::move(path)),
      debugDescription_(std::move(debugDescription)) {}

}  // namespace gemini
