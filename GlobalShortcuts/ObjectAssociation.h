#pragma once

#include <QObject>

#include <map>
#include <memory>
#include <variant>

namespace GlobalShortcuts {

// How an association holds its value: `assign` keeps only a weak reference,
// the retain forms share the value, the copy forms keep their own copy.
// The numbers are the traditional policy codes.
enum class AssociationPolicy : unsigned {
    assign = 0,
    retainNonatomic = 1,
    copyNonatomic = 3,
    retain = 0x301,
    copy = 0x303,
};

// Attaches a value of type Value to any QObject, under a key that is this
// association itself. The value goes when the owner is destroyed, or when it
// is set to null. Main thread only.
template <class Value>
class ObjectAssociation {
public:
    explicit ObjectAssociation(AssociationPolicy policy = AssociationPolicy::retainNonatomic) : policy_(policy) {}
    ObjectAssociation(const ObjectAssociation&) = delete;
    ObjectAssociation& operator=(const ObjectAssociation&) = delete;

    AssociationPolicy policy() const { return policy_; }

    std::shared_ptr<Value> get(const QObject* owner) const {
        const auto it = values_.find(owner);
        if (it == values_.end())
            return nullptr;
        if (const auto* weak = std::get_if<std::weak_ptr<Value>>(&it->second))
            return weak->lock();
        return std::get<std::shared_ptr<Value>>(it->second);
    }

    void set(QObject* owner, std::shared_ptr<Value> value) {
        if (!owner)
            return;
        if (!value) {
            values_.erase(owner);
            return;
        }
        if (!values_.contains(owner))
            QObject::connect(owner, &QObject::destroyed, &guard_, [this, owner] { values_.erase(owner); });
        switch (policy_) {
            case AssociationPolicy::assign:
                values_[owner] = std::weak_ptr<Value>(value);
                break;
            case AssociationPolicy::copy:
            case AssociationPolicy::copyNonatomic:
                values_[owner] = std::make_shared<Value>(*value);
                break;
            default:
                values_[owner] = std::move(value);
                break;
        }
    }

private:
    AssociationPolicy policy_;
    std::map<const QObject*, std::variant<std::shared_ptr<Value>, std::weak_ptr<Value>>> values_;
    QObject guard_;  // ends the owners' destroyed connections with the association
};

}  // namespace GlobalShortcuts
