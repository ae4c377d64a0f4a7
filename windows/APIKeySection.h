#pragma once

// One provider's block on the API Keys tab: title, subtitle, the key field
// with its eye button, and the link to the provider's key page. The field
// edits the key in the settings keystroke by keystroke; the eye button
// switches between dots and plain text, keeping the text and the cursor.

#include <QWidget>
#include <cstddef>

class QLineEdit;
class QToolButton;

namespace windows {

class APIKeysTabModel;
class LinkButton;

class APIKeySection : public QWidget {
public:
    APIKeySection(APIKeysTabModel& model, std::size_t index, QWidget* parent = nullptr);

    // Shows the stored key, only when it differs from what the field holds
    // (so typing never moves the cursor), and the hidden state.
    void refresh();

    QLineEdit* field() const { return field_; }
    QToolButton* eyeButton() const { return eye_; }
    LinkButton* link() const { return link_; }

private:
    APIKeysTabModel& model_;
    std::size_t index_;
    QLineEdit* field_;
    QToolButton* eye_;
    LinkButton* link_;
};

}  // namespace windows
