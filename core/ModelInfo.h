#pragma once

#include <string>
#include <vector>

namespace core {

// One model the user can pick. `displayName` is also the key by which a model
// is found, remembered and dispatched.
struct ModelInfo {
    std::string displayName;
    std::string apiName;
    bool isVisible = true;

    friend bool operator==(const ModelInfo&, const ModelInfo&) = default;
};

// One provider's group of models; the group name decides the provider.
struct ModelGroup {
    std::string name;
    std::vector<ModelInfo> models;

    const std::string& id() const { return name; }
    friend bool operator==(const ModelGroup&, const ModelGroup&) = default;
};

}  // namespace core
