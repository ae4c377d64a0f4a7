#include "panel/ModelPickerButton.h"

#include <QHBoxLayout>

#include "ui/ModelIconView.h"
#include "ui/Palette.h"
#include "ui/PlainLabel.h"

namespace panel {

ModelPickerButton::ModelPickerButton(QWidget* parent)
    : QAbstractButton(parent),
      icon_(new ui::ModelIconView(core::ModelInfo{}, false, this)),
      title_(new ui::PlainLabel(this)) {
    setFocusPolicy(Qt::NoFocus);
    title_->setFont(ui::TextStyles::system(kFontPixels));
    title_->setColour(ui::Palette::color(ui::Colour::Grey));
    title_->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kSpacing);
    layout->addWidget(icon_, 0, Qt::AlignVCenter);
    layout->addWidget(title_, 0, Qt::AlignVCenter);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setModel(std::nullopt);
}

void ModelPickerButton::setModel(const std::optional<core::ModelInfo>& model) {
    icon_->setVisible(model.has_value());
    if (model) icon_->setModel(*model, false);
    const QString title = model ? QString::fromStdString(model->displayName) : QString();
    if (title_->text() != title) title_->setText(title);
    title_->setVisible(model.has_value());
    updateGeometry();
}

QSize ModelPickerButton::sizeHint() const { return layout()->sizeHint(); }

// The children draw; the button only takes the click.
void ModelPickerButton::paintEvent(QPaintEvent*) {}

}  // namespace panel
