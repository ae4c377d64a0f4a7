#include "windows/FAQItemView.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "ui/Palette.h"
#include "ui/PlainLabel.h"
#include "ui/SymbolView.h"

namespace windows {

namespace {

// A plain button: no bevel, its children (question and chevron) are all it
// shows, and a click anywhere on the row presses it.
class PlainRowButton final : public QAbstractButton {
public:
    explicit PlainRowButton(QWidget* parent) : QAbstractButton(parent) {
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {}
};

}  // namespace

FAQItemView::FAQItemView(const std::string& question, const std::string& answer,
                         std::shared_ptr<platform::AnalyticsSink> analytics, QWidget* parent)
    : QWidget(parent), row_(question, answer, std::move(analytics)) {
    const QColor white = ui::Palette::color(ui::Colour::White);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);

    button_ = new PlainRowButton(this);
    auto* label = new QHBoxLayout(button_);
    label->setContentsMargins(0, 0, 0, 0);
    auto* questionLabel =
        new ui::PlainLabel(QString::fromStdString(question), ui::TextStyle::Headline, white, button_);
    questionLabel->setWordWrap(true);
    questionLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->addWidget(questionLabel, 1);
    chevron_ = new ui::SymbolView("chevron.down", ui::Palette::color(ui::Colour::Grey), 12, button_);
    label->addWidget(chevron_, 0, Qt::AlignVCenter);
    column->addWidget(button_);
    QObject::connect(button_, &QAbstractButton::clicked, this, [this] { toggleExpanded(); });

    // Wraps at the row's width and grows to its full height: never cut off.
    answer_ = new ui::PlainLabel(QString::fromStdString(answer), ui::TextStyle::Body,
                                 ui::Palette::color(ui::Colour::White, 0.8), this);
    answer_->setWordWrap(true);
    answer_->setContentsMargins(4, 0, 0, 0);
    answer_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    answer_->setVisible(false);
    column->addWidget(answer_);

    auto* divider = new QWidget(this);
    divider->setFixedHeight(1);
    divider->setAutoFillBackground(true);
    QPalette dividerPalette = divider->palette();
    dividerPalette.setColor(QPalette::Window, ui::Palette::color(ui::Colour::Grey, 0.3));
    divider->setPalette(dividerPalette);
    column->addWidget(divider);
}

void FAQItemView::toggleExpanded() {
    row_.toggleExpanded();
    const bool open = row_.isExpanded();
    chevron_->setSymbol(open ? "chevron.up" : "chevron.down");
    answer_->setVisible(open);
}

}  // namespace windows
