#include "platform/Error.h"

#include <utility>

namespace platform {

Error::Error(std::string domain, long code, std::string description)
    : domain_(std::move(domain)), code_(code), description_(std::move(description)) {}

}  // namespace platform
