#include "platform/fake/RecordingSleeper.h"

#include <string>

namespace platform {

void RecordingSleeper::sleep(std::chrono::milliseconds duration) {
    waits.push_back(duration);
    elapsed += duration;
    if (clock) clock->advance(duration);
    note(journal, "wait " + std::to_string(duration.count()) + "ms");
    if (onSleep) onSleep(duration);
}

}  // namespace platform
