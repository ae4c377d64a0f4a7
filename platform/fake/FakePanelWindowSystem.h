#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "platform/PanelWindowSystem.h"

namespace platform {

// Records the windows it was asked to prepare and activate; the compositor
// answer is set by the test.
class FakePanelWindowSystem final : public PanelWindowSystem {
public:
    bool compositor = true;
    std::vector<std::uint64_t> prepared;
    std::vector<std::uint64_t> activated;
    std::map<std::uint64_t, WindowRect> geometries;

    bool compositorRunning() override { return compositor; }
    void prepare(std::uint64_t window) override { prepared.push_back(window); }
    void activate(std::uint64_t window) override { activated.push_back(window); }
    std::optional<WindowRect> windowGeometry(std::uint64_t window) override {
        const auto it = geometries.find(window);
        return it == geometries.end() ? std::nullopt : std::optional<WindowRect>(it->second);
    }
};

}  // namespace platform
