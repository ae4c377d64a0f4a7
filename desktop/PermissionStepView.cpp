#include "desktop/PermissionStepView.h"

#include <QHBoxLayout>
#include <QPainter>

#include "ui/Palette.h"
#include "ui/PlainLabel.h"
#include "ui/TextStyle.h"

namespace desktop {

namespace {

// The step's number in white caption bold on an accent disc.
class NumberDisc final : public QWidget {
public:
    explicit NumberDisc(int number) : text_(QString::number(number)) {
        setFixedSize(PermissionStepView::numberSize, PermissionStepView::numberSize);
        setFont(ui::TextStyles::font(ui::TextStyle::Caption, QFont::Bold));
        setAccessibleName(text_);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(ui::Palette::color(ui::Colour::Accent));
        painter.drawEllipse(rect());
        painter.setPen(ui::Palette::color(ui::Colour::White));
        painter.drawText(rect(), Qt::AlignCenter, text_);
    }

private:
    QString text_;
};

// Wants the width of its text on one line, and takes less by wrapping: so a
// short step keeps to one line beside its number and a long one fills the
// row with its lines centred.
class StepText final : public ui::PlainLabel {
public:
    using ui::PlainLabel::PlainLabel;

    QSize sizeHint() const override {
        const QMargins margins = contentsMargins();
        const int width = fontMetrics().horizontalAdvance(text()) + 1 + margins.left() + margins.right();
        return {width, heightForWidth(width)};
    }
};

}  // namespace

PermissionStepView::PermissionStepView(int number, const QString& text, QWidget* parent)
    : QWidget(parent), number_(number) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(spacing);
    row->addWidget(new NumberDisc(number), 0, Qt::AlignTop);
    // As wide as the text needs, up to the row: a short step stays beside its
    // number, a long one wraps with its lines centred.
    text_ = new StepText(text, ui::TextStyle::Body, ui::Palette::color(ui::Colour::White, 0.8));
    text_->setWordWrap(true);
    text_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    row->addWidget(text_, 0, Qt::AlignTop);
    row->addStretch(1);
}

}  // namespace desktop
