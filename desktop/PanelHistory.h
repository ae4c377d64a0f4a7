#pragma once

#include <functional>
#include <memory>

#include "core/HistoryService.h"

namespace desktop {

// The history store of one showing of the panel, made on its first use.
// Opening the panel must stay quick however long the stored history is, and
// the store reads the stored list again when an entry is added anyway, so
// nothing is lost by reading it late.
class PanelHistory {
public:
    using Factory = std::function<std::unique_ptr<core::HistoryService>()>;

    // `make` defaults to a store over the standard user defaults.
    explicit PanelHistory(Factory make = {});
    PanelHistory(const PanelHistory&) = delete;
    PanelHistory& operator=(const PanelHistory&) = delete;

    // Makes (and so loads) the store the first time.
    core::HistoryService& get();
    bool isLoaded() const { return service_ != nullptr; }

private:
    Factory make_;
    std::unique_ptr<core::HistoryService> service_;
};

}  // namespace desktop
