#include <gtest/gtest.h>

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVariantAnimation>

#include "ui/Animations.h"
#include "ui/Badge.h"
#include "ui/Palette.h"
#include "ui/PlainLabel.h"
#include "ui/Screenshot.h"
#include "ui/SpringEasing.h"
#include "ui/SymbolIcon.h"
#include "ui/SymbolView.h"
#include "ui/ToggleSwitch.h"

namespace {

class SharedWidgets : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ui::Screenshot::ensureApplication(); }
    void SetUp() override { ui::Animations::setEnabled(false); }
    void TearDown() override { ui::Animations::setEnabled(false); }

    static QString folder() { return QStringLiteral(QUILLARY_SCREENSHOT_DIR); }
    static QColor pixelAt(const QImage& image, QPoint at) { return image.pixelColor(at); }
};

TEST_F(SharedWidgets, PlainLabelShowsMarkupAsItsCharacters) {
    const QString answer = QStringLiteral("<img src=\"http://127.0.0.1:1/x.png\"><b>bold</b> & <a href=x>link</a>");
    ui::PlainLabel label(answer, ui::TextStyle::Body, ui::Palette::color(ui::Colour::White));
    label.show();
    EXPECT_EQ(label.textFormat(), Qt::PlainText);
    EXPECT_EQ(label.text(), answer);
    // Laid out as plain text: as wide as every character of the source.
    const QFontMetrics metrics(label.font());
    EXPECT_GE(label.sizeHint().width(), metrics.horizontalAdvance(answer));
    EXPECT_EQ(label.font().pixelSize(), 13);
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(255, 255, 255));
}

TEST_F(SharedWidgets, BadgePadsItsContentAndPaintsItsColour) {
    QWidget window;  // a badge always sits in a row of some window
    auto* badgePointer = new ui::Badge(ui::Palette::color(ui::Colour::Purple, 0.2), &window);
    ui::Badge& badge = *badgePointer;
    auto* content = new QWidget;
    content->setFixedSize(20, 10);
    badge.addWidget(content);
    badge.adjustSize();
    EXPECT_EQ(badge.size(), QSize(32, 14));
    EXPECT_EQ(badge.property("background").value<QColor>(), ui::Palette::color(ui::Colour::Purple, 0.2));

    const QImage image = ui::Screenshot::grab(badge);
    EXPECT_EQ(pixelAt(image, {0, 0}).alpha(), 0) << "corners are rounded off";
    EXPECT_NEAR(pixelAt(image, {16, 1}).alpha(), 51, 2);
}

TEST_F(SharedWidgets, ToggleSwitchFlipsOnClickAndSpace) {
    ui::ToggleSwitch toggle;
    toggle.show();
    QSignalSpy toggled(&toggle, &QAbstractButton::toggled);
    EXPECT_EQ(toggle.size(), QSize(38, 22));

    QTest::mouseClick(&toggle, Qt::LeftButton);
    EXPECT_TRUE(toggle.isChecked());
    EXPECT_DOUBLE_EQ(toggle.knobPosition(), 1.0);  // animations off: at the end at once
    toggle.setFocus();
    QTest::keyClick(&toggle, Qt::Key_Space);
    EXPECT_FALSE(toggle.isChecked());
    EXPECT_EQ(toggled.count(), 2);

    toggle.setChecked(true);  // from the model: no slide
    EXPECT_DOUBLE_EQ(toggle.knobPosition(), 1.0);
    const QImage on = ui::Screenshot::save(toggle, folder(), "toggle-on");
    EXPECT_EQ(pixelAt(on, {6, 11}), ui::Palette::color(ui::Colour::Blue));
    toggle.setChecked(false);
    const QImage off = ui::Screenshot::save(toggle, folder(), "toggle-off");
    EXPECT_EQ(pixelAt(off, {32, 11}), ui::Palette::grey(0.3));
}

TEST_F(SharedWidgets, ToggleSwitchSlidesWhenAnimationsAreOn) {
    ui::Animations::setEnabled(true);
    ui::ToggleSwitch toggle;
    toggle.show();
    QTest::mouseClick(&toggle, Qt::LeftButton);
    EXPECT_LT(toggle.knobPosition(), 1.0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return toggle.knobPosition() == 1.0; }, 2000));
    EXPECT_DOUBLE_EQ(toggle.knobPosition(), 1.0);
}

TEST_F(SharedWidgets, AnimationsOffJumpToTheEndAndFinish) {
    auto* spring = new ui::SpringAnimation(ui::SpringEasing(0.4, 0.8));
    spring->setStartValue(0.9);
    spring->setEndValue(1.0);
    QVariant last;
    bool finished = false;
    QObject::connect(spring, &QVariantAnimation::valueChanged, [&](const QVariant& v) { last = v; });
    QObject::connect(spring, &QAbstractAnimation::finished, [&] { finished = true; });
    ui::Animations::start(spring);  // deleted when stopped
    EXPECT_TRUE(finished);
    EXPECT_DOUBLE_EQ(last.toDouble(), 1.0);
}

TEST_F(SharedWidgets, SpringAnimationFollowsTheSpringAndEndsExactly) {
    ui::SpringAnimation spring(ui::SpringEasing(0.4, 0.8));
    spring.setStartValue(0.0);
    spring.setEndValue(10.0);
    EXPECT_EQ(spring.duration(), static_cast<int>(std::lround(ui::SpringEasing(0.4, 0.8).settlingTime() * 1000)));
    spring.setCurrentTime(100);
    EXPECT_NEAR(spring.currentValue().toDouble(), 10.0 * ui::SpringEasing(0.4, 0.8).valueAt(0.1), 0.01);
    spring.setCurrentTime(spring.duration());
    EXPECT_DOUBLE_EQ(spring.currentValue().toDouble(), 10.0);
}

TEST_F(SharedWidgets, SymbolNamesAreReadableFromWidgets) {
    ui::SymbolView view("lock.shield", ui::Palette::color(ui::Colour::Accent), 48);
    EXPECT_EQ(view.property(ui::SymbolIcon::property).toString(), QStringLiteral("lock.shield"));
    EXPECT_EQ(view.sizeHint(), QSize(48, 48));
    view.setSymbol("questionmark.circle");
    EXPECT_EQ(ui::SymbolIcon::nameOf(view), QStringLiteral("questionmark.circle"));

    QPushButton button;
    ui::SymbolIcon::apply(button, "trash", ui::Palette::color(ui::Colour::Grey), 14);
    EXPECT_EQ(ui::SymbolIcon::nameOf(button), QStringLiteral("trash"));
    EXPECT_EQ(button.iconSize(), QSize(14, 14));
    EXPECT_FALSE(button.icon().isNull());
}

// Every symbol at the sizes the windows use, white on the window grey and the
// menu bar icon on a light and a dark panel: open the picture to check them.
TEST_F(SharedWidgets, ScreenshotOfEverySymbol) {
    QWidget sheet;
    sheet.setAutoFillBackground(true);
    auto* rows = new QVBoxLayout(&sheet);
    for (const auto& name : ui::SymbolIcon::names()) {
        auto* row = new QHBoxLayout;
        for (int size : {10, 12, 16, 24, 48}) row->addWidget(new ui::SymbolView(name, ui::Palette::color(ui::Colour::White), size));
        row->addWidget(new ui::PlainLabel(QString::fromStdString(name), ui::TextStyle::Caption, ui::Palette::color(ui::Colour::Grey)));
        row->addStretch();
        rows->addLayout(row);
    }
    auto* panels = new QHBoxLayout;
    for (QColor panel : {QColor(240, 240, 240), QColor(30, 30, 30)}) {
        auto* badge = new ui::Badge(panel);
        badge->addWidget(new ui::SymbolView("menubar-icon", panel.lightness() > 128 ? QColor(30, 30, 30) : QColor(240, 240, 240), 18));
        panels->addWidget(badge);
    }
    auto* badge = new ui::Badge(ui::Palette::color(ui::Colour::Grey, 0.2));
    badge->setSpacing(4);
    badge->addWidget(new ui::SymbolView("app.fill", ui::Palette::color(ui::Colour::Grey), 10));
    badge->addWidget(new ui::PlainLabel("Terminal", ui::TextStyle::Caption, ui::Palette::color(ui::Colour::White)));
    panels->addWidget(badge);
    panels->addWidget(new ui::ToggleSwitch);
    panels->addStretch();
    rows->addLayout(panels);
    sheet.show();
    sheet.adjustSize();
    const QImage image = ui::Screenshot::save(sheet, folder(), "symbols");
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixelColor(1, 1), ui::Palette::color(ui::Colour::Surface12));
}

}  // namespace
