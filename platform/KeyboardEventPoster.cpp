#include "platform/KeyboardEventPoster.h"

namespace platform {

std::string_view toString(SimulatedKey key) {
    switch (key) {
    case SimulatedKey::control: return "control";
    case SimulatedKey::shift: return "shift";
    case SimulatedKey::c: return "c";
    case SimulatedKey::v: return "v";
    case SimulatedKey::insert: return "insert";
    }
    return "?";
}

}  // namespace platform
