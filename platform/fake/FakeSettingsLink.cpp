#include "platform/fake/FakeSettingsLink.h"

namespace platform {

bool FakeSettingsLink::open(SettingsPane pane) {
    opened.push_back(pane);
    return opens;
}

}  // namespace platform
