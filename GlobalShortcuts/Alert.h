#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace GlobalShortcuts {

enum class AlertStyle { warning, informational, critical };

// A modal question to the user: a title, an optional informative text, and
// buttons in the order given (none: a single OK button). The answer of a run
// is firstButtonReturn plus the index of the button chosen.
struct Alert {
    static constexpr int firstButtonReturn = 1000;
    static constexpr int secondButtonReturn = 1001;

    explicit Alert(std::string title, std::optional<std::string> message = std::nullopt,
                   AlertStyle style = AlertStyle::warning, std::vector<std::string> buttonTitles = {})
        : title(std::move(title)), message(std::move(message)), style(style), buttonTitles(std::move(buttonTitles)) {}

    std::string title;
    std::optional<std::string> message;
    AlertStyle style;
    std::vector<std::string> buttonTitles;

    friend bool operator==(const Alert&, const Alert&) = default;
};

}  // namespace GlobalShortcuts
