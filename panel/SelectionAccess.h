#pragma once

#include <optional>
#include <string>

namespace panel {

// What the panel needs of the selection capture: the text the user had
// selected when the panel was asked for, and pasting an answer over it in the
// application it came from. The program's selection capture stands behind it;
// the remembered application's name is read from
// platform::LastActiveApplication, which the capture writes. Main thread only.
class SelectionAccess {
public:
    virtual ~SelectionAccess() = default;

    // The captured selection, or nothing when none could be read.
    virtual std::optional<std::string> getSelectedText() = 0;

    // An answer to paste is asked for: the user's clipboard is read now,
    // beside the request, so that the paste-back can put it back whole.
    virtual void keepClipboardForAnswer() = 0;

    // Pastes `answer` over the selection in the remembered application and
    // puts the user's clipboard back. Returns when that is done.
    virtual void replaceSelectedText(const std::string& answer) = 0;
};

}  // namespace panel
