#pragma once

#include <QWidget>

namespace desktop {

// One numbered step of the permission window: the number in a filled
// circle, then the text, which wraps and is never cut off.
class PermissionStepView final : public QWidget {
public:
    PermissionStepView(int number, const QString& text, QWidget* parent = nullptr);
};

}  // namespace desktop
