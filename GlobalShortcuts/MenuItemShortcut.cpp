#include "GlobalShortcuts/MenuItemShortcut.h"

#include <QAction>
#include <QPointer>

#include <memory>

#include "GlobalShortcuts/GlobalShortcuts.h"
#include "GlobalShortcuts/ObjectAssociation.h"
#include "platform/NotificationCenter.h"

namespace GlobalShortcuts {

namespace {

// The observer that keeps an action in step with its name; ending the
// binding removes the observer.
struct Binding {
    std::shared_ptr<platform::ObserverToken> observer;
};

ObjectAssociation<Binding>& bindings() {
    // The tokens must go before the centre they unregister from.
    platform::NotificationCenter::defaultCenter();
    static ObjectAssociation<Binding> association(AssociationPolicy::retainNonatomic);
    return association;
}

}  // namespace

void setShortcut(QAction& item, const std::optional<Shortcut>& shortcut) {
    const auto sequence = shortcut ? shortcut->keySequence() : std::nullopt;
    item.setShortcut(sequence.value_or(QKeySequence()));
}

void setShortcut(QAction& item, const std::optional<Name>& name) {
    // End the earlier binding first, so the action never follows two names
    // (and a change of the old name still on its way does not reach it).
    bindings().set(&item, nullptr);
    if (!name) {
        setShortcut(item, std::optional<Shortcut>());
        return;
    }
    setShortcut(item, getShortcut(*name));
    auto binding = std::make_shared<Binding>();
    const std::weak_ptr<Binding> current = binding;
    binding->observer = std::make_shared<platform::ObserverToken>(platform::NotificationCenter::defaultCenter().addObserver(
        std::string(kShortcutByNameDidChange),
        [target = QPointer<QAction>(&item), bound = *name, current](const platform::Notification& notification) {
            const auto* changed = notification.value<Name>("name");
            if (!changed || changed->rawValue() != bound.rawValue())
                return;
            if (const auto loop = detail::mainLoop())
                loop->post([target, bound, current] {
                    if (target && !current.expired())
                        setShortcut(*target, getShortcut(bound));
                });
        }));
    bindings().set(&item, std::move(binding));
}

}  // namespace GlobalShortcuts
