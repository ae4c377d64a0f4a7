#include "windows/APIKeysTabView.h"

#include <QVBoxLayout>

#include "ui/Palette.h"
#include "ui/PlainLabel.h"
#include "windows/LinkButton.h"
#include "windows/SettingsPanel.h"

namespace windows {

APIKeysTabView::APIKeysTabView(core::Settings& settings, QWidget* parent)
    : SettingsTabPage(parent), settings_(settings), model_(settings) {
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        sections_[i] = new APIKeySection(model_, i);
        addPanel(new SettingsPanel(sections_[i]));
    }

    auto* ollama = new QWidget;
    auto* column = new QVBoxLayout(ollama);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    column->addWidget(
        new ui::PlainLabel(QStringLiteral("Ollama"), ui::TextStyle::Headline, ui::Palette::color(ui::Colour::White)));
    column->addWidget(new ui::PlainLabel(QStringLiteral("Run AI models locally without an API key"),
                                         ui::TextStyle::Subheadline, ui::Palette::color(ui::Colour::Grey)));
    column->addWidget(new LinkButton(QString::fromStdString(APIKeysTabModel::ollamaLinkText()),
                                     QUrl(QString::fromStdString(APIKeysTabModel::ollamaLink()))));
    addPanel(new SettingsPanel(ollama));

    token_ = settings_.subscribe([this](core::Settings::Property property) {
        const std::size_t index = APIKeysTabModel::sectionOf(property);
        if (index < sections_.size()) sections_[index]->refresh();
    });
}

APIKeysTabView::~APIKeysTabView() { settings_.unsubscribe(token_); }

}  // namespace windows
