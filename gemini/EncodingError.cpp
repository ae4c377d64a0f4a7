#include "gemini/EncodingError.h"

#include <fmt/format.h>

#include "gemini/Logging.h"

namespace gemini {
namespace {

std::string userDescription(const CodingPath& path, const std::string& debug) {
    if (path.empty()) return fmt::format("The request to Gemini could not be written: {}", debug);
    return fmt::format("The request to Gemini could not be written: {} (at {})", debug, describe(path));
}

}  // namespace

EncodingError::EncodingError(CodingPath path, std::string debugDescription)
    : platform::Error(std::string(kClientIdentifier) + ".EncodingError", 0,
                      userDescription(path, debugDescription)),
      path_(std::move(path)),
      debugDescription_(std::move(debugDescription)) {}

EncodingError EncodingError::under(CodingKey step) const {
    CodingPath path;
    path.reserve(path_.size() + 1);
    path.push_back(std::move(step));
    path.insert(path.end(), path_.begin(), path_.end());
    return EncodingError(std::move(path), debugDescription_);
}

}  // namespace gemini
