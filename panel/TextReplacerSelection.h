#pragma once

#include "panel/SelectionAccess.h"

namespace panel {

// The panel's selection through the program's process-wide selection
// capture (desktop::TextReplacer).
class TextReplacerSelection final : public SelectionAccess {
public:
    std::optional<std::string> getSelectedText() override;
    void keepClipboardForAnswer() override;
    void replaceSelectedText(const std::string& answer) override;
};

}  // namespace panel
