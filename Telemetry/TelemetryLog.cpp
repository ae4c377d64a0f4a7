#include "Telemetry/TelemetryLog.h"

namespace telemetry {

const platform::Logger& log() {
    static const platform::Logger logger("quillary", "telemetry");
    return logger;
}

}  // namespace telemetry
