#include "windows/ModelRow.h"

#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/Palette.h"
#include "ui/PlainLabel.h"
#include "ui/SymbolIcon.h"
#include "ui/ToggleSwitch.h"
#include "windows/ModelGroupSectionModel.h"

namespace windows {

namespace {

constexpr int kRowInset = 4;
constexpr int kTrashSize = 14;

// A name of any length never widens the page: what does not fit is cut at
// the panel's edge.
ui::PlainLabel* nameLabel(ui::TextStyle style, ui::Colour colour) {
    auto* label = new ui::PlainLabel(QString(), style, ui::Palette::color(colour));
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    return label;
}

}  // namespace

ModelRow::ModelRow(ModelGroupSectionModel& model, std::size_t position, QWidget* parent)
    : QWidget(parent), model_(model), position_(position) {
    displayName_ = nameLabel(ui::TextStyle::Body, ui::Colour::White);
    apiName_ = nameLabel(ui::TextStyle::Caption, ui::Colour::Grey);
    auto* names = new QVBoxLayout;
    names->setSpacing(4);
    names->addWidget(displayName_);
    names->addWidget(apiName_);

    switch_ = new ui::ToggleSwitch;
    connect(switch_, &QAbstractButton::toggled, this, [this](bool on) { model_.setModelVisible(position_, on); });

    delete_ = new QToolButton;
    delete_->setAutoRaise(true);
    delete_->setCursor(Qt::PointingHandCursor);
    ui::SymbolIcon::apply(*delete_, "trash", ui::Palette::color(ui::Colour::Grey), kTrashSize);
    // The settings observers rebuild nothing here: the rows past the new end
    // are removed later by the section, never inside this click.
    connect(delete_, &QToolButton::clicked, this, [this] { model_.removeModel(position_); });

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, kRowInset, 0, kRowInset);
    row->addLayout(names, 1);
    row->addWidget(switch_, 0, Qt::AlignVCenter);
    row->addWidget(delete_, 0, Qt::AlignVCenter);
    refresh();
}

void ModelRow::refresh() {
    if (position_ >= model_.modelCount()) return;
    const core::ModelInfo& info = model_.group().models[position_];
    const QString displayName = QString::fromStdString(info.displayName);
    if (displayName_->text() != displayName) displayName_->setText(displayName);
    const QString apiName = QString::fromStdString(info.apiName);
    if (apiName_->text() != apiName) apiName_->setText(apiName);
    if (switch_->isChecked() != info.isVisible) {
        const QSignalBlocker blocker(switch_);
        switch_->setChecked(info.isVisible);
    }
    const bool deletable = model_.showsDeleteButton(position_);
    if (delete_->isVisibleTo(this) != deletable) delete_->setVisible(deletable);
}

}  // namespace windows
