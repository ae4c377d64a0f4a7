#include "core/JsonError.h"

namespace core {

JsonError::JsonError(std::string detail)
    : Error(kDomain, kCode, "The data couldn't be read because it isn't in the correct format."),
      detail_(std::move(detail)) {}

}  // namespace core
