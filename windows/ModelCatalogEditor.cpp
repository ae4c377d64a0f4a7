#include "windows/ModelCatalogEditor.h"

#include <QVBoxLayout>

#include "ui/Palette.h"
#include "ui/PlainLabel.h"
#include "windows/ModelGroupSection.h"

namespace windows {

ModelCatalogEditor::ModelCatalogEditor(core::Settings& settings, QWidget* parent)
    : QWidget(parent), settings_(settings), column_(new QVBoxLayout(this)) {
    column_->setContentsMargins(0, 0, 0, 0);
    column_->setSpacing(16);
    column_->addWidget(new ui::PlainLabel(QStringLiteral("Available Models"), ui::TextStyle::Headline,
                                          ui::Palette::color(ui::Colour::White)));
    auto* explanation = new ui::PlainLabel(
        QStringLiteral("Enable or disable models to customize which ones appear in your Quillary window. You can also "
                       "add custom models for each provider."),
        ui::TextStyle::Subheadline, ui::Palette::color(ui::Colour::Grey));
    explanation->setWordWrap(true);
    column_->addWidget(explanation);
    refresh();
}

void ModelCatalogEditor::refresh() {
    const auto& groups = settings_.modelGroups();
    while (sections_.size() > groups.size()) {
        ModelGroupSection* gone = sections_.back();
        sections_.pop_back();
        shownNames_.pop_back();
        gone->hide();
        column_->removeWidget(gone);
        gone->deleteLater();
    }
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        if (shownNames_[i] != groups[i].name) {
            sections_[i]->model().reset();
            shownNames_[i] = groups[i].name;
        }
        sections_[i]->refresh();
    }
    while (sections_.size() < groups.size()) {
        auto* section = new ModelGroupSection(settings_, sections_.size());
        column_->addWidget(section);
        if (isVisible()) section->show();
        shownNames_.push_back(groups[sections_.size()].name);
        sections_.push_back(section);
    }
}

}  // namespace windows
