#include "windows/APIKeySection.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>
#include <limits>

#include "ui/Palette.h"
#include "ui/PlainLabel.h"
#include "ui/SymbolIcon.h"
#include "windows/APIKeysTabModel.h"
#include "windows/LinkButton.h"
#include "windows/SettingsPanel.h"

namespace windows {

namespace {

constexpr int kEyeSize = 14;

}  // namespace

APIKeySection::APIKeySection(APIKeysTabModel& model, std::size_t index, QWidget* parent)
    : QWidget(parent), model_(model), index_(index) {
    const auto& provider = APIKeysTabModel::providers().at(index);
    const QColor white = ui::Palette::color(ui::Colour::White);
    const QColor grey = ui::Palette::color(ui::Colour::Grey);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    column->addWidget(new ui::PlainLabel(QString::fromUtf8(provider.title.data(), static_cast<int>(provider.title.size())),
                                         ui::TextStyle::Headline, white));
    column->addWidget(new ui::PlainLabel(
        QString::fromUtf8(provider.description.data(), static_cast<int>(provider.description.size())),
        ui::TextStyle::Subheadline, grey));

    field_ = new QLineEdit;
    field_->setObjectName(QStringLiteral("apiKeyField"));
    field_->setFrame(false);
    field_->setPlaceholderText(QStringLiteral("Enter API Key"));
    // QLineEdit cuts text at 32767 characters by default; a pasted key is
    // stored whole, whatever its length.
    field_->setMaxLength(std::numeric_limits<int>::max());
    connect(field_, &QLineEdit::textEdited, this,
            [this](const QString& text) { model_.setKey(index_, text.toStdString()); });

    eye_ = new QToolButton;
    eye_->setAutoRaise(true);
    eye_->setCursor(Qt::PointingHandCursor);
    connect(eye_, &QToolButton::clicked, this, [this] {
        model_.toggleSecured(index_);
        refresh();
    });

    auto* row = new QHBoxLayout;
    row->addWidget(SettingsPanel::fieldBox(field_), 1);
    row->addWidget(eye_, 0, Qt::AlignVCenter);
    column->addLayout(row);

    link_ = new LinkButton(QString::fromStdString(APIKeysTabModel::linkText(provider)),
                           QUrl(QString::fromStdString(APIKeysTabModel::link(provider))));
    column->addWidget(link_);
    refresh();
}

void APIKeySection::refresh() {
    const QString key = QString::fromStdString(model_.key(index_));
    if (field_->text() != key) {
        const QSignalBlocker blocker(field_);
        field_->setText(key);
    }
    const bool secured = model_.isSecured(index_);
    const auto mode = secured ? QLineEdit::Password : QLineEdit::Normal;
    if (field_->echoMode() != mode) field_->setEchoMode(mode);
    ui::SymbolIcon::apply(*eye_, secured ? "eye.slash.fill" : "eye.fill", ui::Palette::color(ui::Colour::Grey), kEyeSize);
}

}  // namespace windows
