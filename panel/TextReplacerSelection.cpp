#include "panel/TextReplacerSelection.h"

#include "desktop/TextReplacer.h"

namespace panel {

std::optional<std::string> TextReplacerSelection::getSelectedText() { return desktop::TextReplacer::getSelectedText(); }

void TextReplacerSelection::keepClipboardForAnswer() { desktop::TextReplacer::keepClipboardForPasteBack(); }

void TextReplacerSelection::replaceSelectedText(const std::string& answer) {
    desktop::TextReplacer::replaceSelectedText(answer);
}

}  // namespace panel
