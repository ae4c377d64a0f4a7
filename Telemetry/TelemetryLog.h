#pragma once

#include "platform/Logger.h"

namespace telemetry {

// The client's logger. Every line it writes starts with "[Telemetry] ".
const platform::Logger& log();

}  // namespace telemetry
