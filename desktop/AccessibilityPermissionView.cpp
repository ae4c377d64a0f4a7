#include "desktop/AccessibilityPermissionView.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "desktop/AccessibilityManager.h"
#include "desktop/PermissionStepView.h"
#include "ui/Palette.h"
#include "ui/PlainLabel.h"
#include "ui/SymbolView.h"
#include "ui/TextStyle.h"

namespace desktop {

namespace {

constexpr int iconSize = 48;
constexpr int buttonHeight = 28;  // the large control size
constexpr int buttonPadding = 14;

constexpr qreal buttonRadius = 6;

// A large push button filled with one colour: the accent for the prominent
// default button, a raised grey for the bordered one.
class FilledButton final : public QPushButton {
public:
    FilledButton(const char* text, ui::Colour fill) : QPushButton(QString::fromUtf8(text)), fill_(fill) {
        setFont(ui::TextStyles::font(ui::TextStyle::Body));
        setFixedHeight(buttonHeight);
        setMinimumWidth(fontMetrics().horizontalAdvance(this->text()) + 2 * buttonPadding);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor colour = ui::Palette::color(fill_);
        if (isDown())
            colour = colour.darker(125);
        painter.setPen(hasFocus() ? QPen(ui::Palette::color(ui::Colour::Accent, 0.5), 2) : Qt::NoPen);
        painter.setBrush(colour);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), buttonRadius, buttonRadius);
        painter.setPen(ui::Palette::color(ui::Colour::White));
        painter.drawText(rect(), Qt::AlignCenter, text());
    }

private:
    ui::Colour fill_;
};

}  // namespace

AccessibilityPermissionView::AccessibilityPermissionView(AccessibilityManager& manager, QWidget* parent)
    : QWidget(parent), manager_(manager) {
    const QColor white = ui::Palette::color(ui::Colour::White);
    const QColor softWhite = ui::Palette::color(ui::Colour::White, 0.8);

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(spacing);
    layout->setContentsMargins(padding, padding, padding, padding);

    layout->addWidget(new ui::SymbolView("lock.shield", ui::Palette::color(ui::Colour::Accent), iconSize), 0,
                      Qt::AlignHCenter);

    auto* titleLabel = new ui::PlainLabel(QString::fromUtf8(title), ui::TextStyle::Title2, white);
    titleLabel->setFont(ui::TextStyles::font(ui::TextStyle::Title2, QFont::Bold));
    titleLabel->setAlignment(Qt::AlignHCenter);
    titleLabel->setWordWrap(true);
    layout->addWidget(titleLabel);

    auto* explanationLabel = new ui::PlainLabel(QString::fromUtf8(explanation), ui::TextStyle::Body, softWhite);
    explanationLabel->setAlignment(Qt::AlignHCenter);
    explanationLabel->setWordWrap(true);
    layout->addWidget(explanationLabel);

    auto* stepsLayout = new QVBoxLayout;
    stepsLayout->setSpacing(stepSpacing);
    stepsLayout->setContentsMargins(0, stepsPadding, 0, stepsPadding);
    int number = 1;
    for (const char* step : steps)
        stepsLayout->addWidget(new PermissionStepView(number++, QString::fromUtf8(step)));
    layout->addLayout(stepsLayout);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(buttonSpacing);
    openSettings_ = new FilledButton(openSettingsText, ui::Colour::Accent);
    checkPermissions_ = new FilledButton(checkPermissionsText, ui::Colour::Surface20);
    buttons->addStretch();
    buttons->addWidget(openSettings_);
    buttons->addWidget(checkPermissions_);
    buttons->addStretch();
    layout->addLayout(buttons);

    connect(openSettings_, &QPushButton::clicked, this, [this] { manager_.openSystemPreferences(); });
    connect(checkPermissions_, &QPushButton::clicked, this, [this] { checkPermissions(); });
    // The default action: Return (and Enter) anywhere in the window, even
    // with the other button focused.
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, openSettings_, &QPushButton::click);
    }
}

void AccessibilityPermissionView::checkPermissions() {
    if (manager_.checkAccessibilityPermissions())
        manager_.closePermissionWindow();
    else
        manager_.showPermissionWindow();  // the same window, to the front, no new prompt
}

}  // namespace desktop
