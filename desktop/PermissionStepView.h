#pragma once

#include <QWidget>

class QLabel;

namespace desktop {

// One numbered step of the permission window: the number on a filled circle
// of the accent colour, then the text, which wraps (its lines centred) and
// is never cut off.
class PermissionStepView final : public QWidget {
public:
    PermissionStepView(int number, const QString& text, QWidget* parent = nullptr);

    static constexpr int spacing = 12;
    static constexpr int numberSize = 20;

    QLabel* textLabel() const { return text_; }
    int number() const { return number_; }

private:
    int number_;
    QLabel* text_;
};

}  // namespace desktop
