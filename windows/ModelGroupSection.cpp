#include "windows/ModelGroupSection.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/Palette.h"
#include "ui/PlainLabel.h"
#include "ui/SymbolIcon.h"
#include "ui/SymbolView.h"
#include "windows/ModelRow.h"
#include "windows/SettingsPanel.h"

namespace windows {

namespace {

constexpr int kPlusSize = 14;

QString fromStd(const std::string& text) { return QString::fromStdString(text); }

void pushText(QLineEdit& field, const std::string& text) {
    const QString value = fromStd(text);
    if (field.text() == value) return;
    const QSignalBlocker blocker(&field);
    field.setText(value);
}

QLineEdit* formField(const char* placeholder) {
    auto* field = new QLineEdit;
    field->setFrame(false);
    field->setPlaceholderText(QString::fromUtf8(placeholder));
    return field;
}

QPushButton* formButton(const char* text, bool prominent) {
    auto* button = new QPushButton(QString::fromUtf8(text));
    // Return in a field never presses a button: only a click adds.
    button->setAutoDefault(false);
    if (prominent) {
        QPalette palette = button->palette();
        palette.setColor(QPalette::Button, ui::Palette::color(ui::Colour::Blue));
        palette.setColor(QPalette::ButtonText, ui::Palette::color(ui::Colour::White));
        palette.setColor(QPalette::Disabled, QPalette::Button, ui::Palette::color(ui::Colour::Surface20));
        palette.setColor(QPalette::Disabled, QPalette::ButtonText, ui::Palette::color(ui::Colour::Grey));
        button->setPalette(palette);
    }
    return button;
}

}  // namespace

ModelGroupSection::ModelGroupSection(core::Settings& settings, std::size_t index, QWidget* parent)
    : QWidget(parent), model_(settings, index) {
    auto* column = new QVBoxLayout(this);
    // 8 px above every section, on top of the panel's spacing.
    column->setContentsMargins(0, 8, 0, 0);
    column->setSpacing(16);
    column->addWidget(makeHeader());
    column->addWidget(makeForm());
    list_ = new QVBoxLayout;
    list_->setSpacing(12);
    column->addLayout(list_);
    refresh();
}

QWidget* ModelGroupSection::makeHeader() {
    auto* header = new QWidget;
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    icon_ = new ui::SymbolView("openai", ui::Palette::color(ui::Colour::White), iconSize);
    name_ = new ui::PlainLabel(QString(), ui::TextStyle::Headline, ui::Palette::color(ui::Colour::White));
    name_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    plus_ = new QToolButton;
    plus_->setAutoRaise(true);
    plus_->setCursor(Qt::PointingHandCursor);
    ui::SymbolIcon::apply(*plus_, "plus", ui::Palette::color(ui::Colour::Grey), kPlusSize);
    connect(plus_, &QToolButton::clicked, this, [this] {
        model_.toggleAdding();
        refreshForm();
    });
    row->addWidget(icon_, 0, Qt::AlignVCenter);
    row->addWidget(name_, 1, Qt::AlignVCenter);
    row->addWidget(plus_, 0, Qt::AlignVCenter);
    return header;
}

QWidget* ModelGroupSection::makeForm() {
    form_ = new QWidget;
    auto* column = new QVBoxLayout(form_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);

    displayNameField_ = formField("Display Name");
    apiNameField_ = formField("API Model Name");
    connect(displayNameField_, &QLineEdit::textEdited, this, [this](const QString& text) {
        model_.setNewDisplayName(text.toStdString());
        refreshForm();
    });
    connect(apiNameField_, &QLineEdit::textEdited, this, [this](const QString& text) {
        model_.setNewAPIName(text.toStdString());
        refreshForm();
    });
    for (QLineEdit* field : {displayNameField_, apiNameField_}) {
        auto* box = SettingsPanel::fieldBox(field);
        box->setMaximumWidth(fieldMaximumWidth);
        box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        // As wide as the panel allows up to the maximum, centred.
        auto* centred = new QHBoxLayout;
        centred->addStretch(0);
        centred->addWidget(box, 1);
        centred->addStretch(0);
        column->addLayout(centred);
    }

    add_ = formButton("Add", true);
    cancel_ = formButton("Cancel", false);
    connect(add_, &QPushButton::clicked, this, [this] {
        model_.addModel();
        refresh();
    });
    connect(cancel_, &QPushButton::clicked, this, [this] {
        model_.cancel();
        refreshForm();
    });
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    buttons->addWidget(add_, 0, Qt::AlignVCenter);
    buttons->addWidget(cancel_, 0, Qt::AlignVCenter);
    column->addLayout(buttons);
    column->setAlignment(buttons, Qt::AlignHCenter);
    return form_;
}

void ModelGroupSection::refresh() {
    const core::ModelGroup& group = model_.group();
    const QString name = fromStd(group.name);
    if (name_->text() != name) name_->setText(name);
    const std::string_view iconName = ModelGroupSectionModel::providerIconName(group.name);
    if (icon_->symbol() != QLatin1String(iconName.data(), static_cast<qsizetype>(iconName.size())))
        icon_->setSymbol(iconName);
    refreshForm();
    refreshRows();
}

void ModelGroupSection::refreshForm() {
    if (form_->isVisibleTo(this) != model_.isAddingModel()) form_->setVisible(model_.isAddingModel());
    pushText(*displayNameField_, model_.newDisplayName());
    pushText(*apiNameField_, model_.newAPIName());
    add_->setEnabled(model_.canAdd());
}

void ModelGroupSection::refreshRows() {
    const std::size_t count = model_.modelCount();
    while (rows_.size() > count) {
        ModelRow* gone = rows_.back();
        rows_.pop_back();
        gone->hide();
        list_->removeWidget(gone);
        gone->deleteLater();
    }
    for (ModelRow* row : rows_) row->refresh();
    while (rows_.size() < count) {
        auto* row = new ModelRow(model_, rows_.size());
        list_->addWidget(row);
        rows_.push_back(row);
        // Added to a section already on screen: shown now, not one event later.
        if (isVisible()) row->show();
    }
}

}  // namespace windows
