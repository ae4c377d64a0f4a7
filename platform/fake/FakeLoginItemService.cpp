#include "platform/fake/FakeLoginItemService.h"

#include "platform/Error.h"

namespace platform {

void FakeLoginItemService::register_() {
    calls.emplace_back("register");
    if (registerFailure) throw Error("LoginItem", 1, *registerFailure);
    current = afterRegister;
}

void FakeLoginItemService::unregister() {
    calls.emplace_back("unregister");
    if (unregisterFailure) throw Error("LoginItem", 1, *unregisterFailure);
    current = LoginItemStatus::NotRegistered;
}

}  // namespace platform
