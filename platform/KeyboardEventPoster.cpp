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

bool KeyboardEventPoster::postChord(SimulatedKey modifier, SimulatedKey key) {
    bool all = post(modifier, true);
    all = post(key, true) && all;
    all = post(key, false) && all;
    return post(modifier, false) && all;
}

}  // namespace platform
