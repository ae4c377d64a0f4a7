#include "windows/ShortcutRows.h"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>

#include "GlobalShortcuts/Recorder.h"
#include "ui/Palette.h"
#include "ui/PlainLabel.h"
#include "windows/ShortcutsTabModel.h"

namespace windows {

ShortcutRows::ShortcutRows(QWidget* parent) : QWidget(parent) {
    const auto& specs = ShortcutsTabModel::rows();
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        auto& row = rows_[i];
        row.widget = new QWidget(this);
        auto* line = new QHBoxLayout(row.widget);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(12);

        auto* texts = new QVBoxLayout;
        texts->setSpacing(4);
        row.title = new ui::PlainLabel(QString::fromUtf8(specs[i].title.data(), qsizetype(specs[i].title.size())),
                                       ui::TextStyle::Body, ui::Palette::color(ui::Colour::White));
        row.description =
            new ui::PlainLabel(QString::fromUtf8(specs[i].description.data(), qsizetype(specs[i].description.size())),
                               ui::TextStyle::Caption, ui::Palette::color(ui::Colour::Grey));
        texts->addWidget(row.title);
        texts->addWidget(row.description);
        line->addLayout(texts);
        line->addStretch(1);

        // An empty title: the recorder is labelled by the row's own texts.
        row.recorder = new GlobalShortcuts::Recorder(QString(), specs[i].name());
        row.recorder->setFixedWidth(kRecorderWidth);
        line->addWidget(row.recorder, 0, Qt::AlignVCenter);
    }
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QRect ShortcutRows::slot(std::size_t index) const {
    const auto& specs = ShortcutsTabModel::rows();
    int top = kTopInset;
    for (std::size_t i = 0; i < index; ++i) top += specs[i].height + kSpacing;
    return QRect(0, top, width(), specs.at(index).height);
}

QSize ShortcutRows::sizeHint() const {
    int width = 0;
    for (const auto& row : rows_) width = std::max(width, row.widget->sizeHint().width());
    return QSize(width, slot(rows_.size() - 1).bottom() + 1);
}

void ShortcutRows::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const QRect area = slot(i);
        const int height = rows_[i].widget->sizeHint().height();
        rows_[i].widget->setGeometry(0, area.top() + (area.height() - height) / 2, area.width(), height);
    }
}

}  // namespace windows
