#include "desktop/AccessibilityPermissionView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "desktop/AccessibilityManager.h"
#include "desktop/PermissionStepView.h"

namespace desktop {

AccessibilityPermissionView::AccessibilityPermissionView(AccessibilityManager& manager, QWidget* parent)
    : QWidget(parent), manager_(manager) {
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(20);
    layout->setContentsMargins(40, 40, 40, 40);

    auto* titleLabel = new QLabel(QString::fromUtf8(title));
    titleLabel->setTextFormat(Qt::PlainText);
    titleLabel->setAlignment(Qt::AlignCenter);
    layout->addWidget(titleLabel);

    auto* explanationLabel = new QLabel(QString::fromUtf8(explanation));
    explanationLabel->setTextFormat(Qt::PlainText);
    explanationLabel->setWordWrap(true);
    explanationLabel->setAlignment(Qt::AlignHCenter);
    layout->addWidget(explanationLabel);

    auto* stepsLayout = new QVBoxLayout;
    stepsLayout->setSpacing(12);
    int number = 1;
    for (const char* step : steps)
        stepsLayout->addWidget(new PermissionStepView(number++, QString::fromUtf8(step)));
    layout->addLayout(stepsLayout);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(16);
    auto* openSettings = new QPushButton(QString::fromUtf8(openSettingsText));
    auto* checkPermissions = new QPushButton(QString::fromUtf8(checkPermissionsText));
    buttons->addStretch();
    buttons->addWidget(openSettings);
    buttons->addWidget(checkPermissions);
    buttons->addStretch();
    layout->addLayout(buttons);

    connect(openSettings, &QPushButton::clicked, this, [this] { manager_.openSystemPreferences(); });
    connect(checkPermissions, &QPushButton::clicked, this, [this] {
        if (manager_.checkAccessibilityPermissions())
            manager_.closePermissionWindow();
        else
            manager_.showPermissionWindow();
    });
    // The default action: Return and Enter anywhere in the window.
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, openSettings, &QPushButton::click);
    }
}

}  // namespace desktop
