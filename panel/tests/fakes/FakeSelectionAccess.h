#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "panel/SelectionAccess.h"

namespace panel::testing {

// A selection the test sets, and a record of every paste.
class FakeSelectionAccess final : public SelectionAccess {
public:
    std::optional<std::string> getSelectedText() override {
        ++reads;
        return selectedText;
    }
    void keepClipboardForAnswer() override { ++clipboardKept; }
    void replaceSelectedText(const std::string& answer) override {
        pasted.push_back(answer);
        if (duringPaste) duringPaste();
    }

    std::optional<std::string> selectedText;
    std::vector<std::string> pasted;
    int reads = 0;
    int clipboardKept = 0;
    // Runs inside the paste, where the real one waits in a nested loop.
    std::function<void()> duringPaste;
};

}  // namespace panel::testing
