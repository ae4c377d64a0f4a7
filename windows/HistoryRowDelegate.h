#pragma once

// Draws one row of the history list (rows are painted, not widgets): the
// input in at most two lines at 14 px, then a caption row of badges, the
// application ("app.fill" outside a grey badge), a blue quote badge when the
// entry has a selected text (also an empty one), the model (its icon, white,
// and name in a purple badge), and the age at the trailing edge in grey.
//
//   list->setItemDelegate(new HistoryRowDelegate(*listModel, clock, list));
//
// `layout` gives every piece's place and text without painting, for the
// paint itself and for tests.

#include <QRectF>
#include <QString>
#include <QStringList>
#include <QStyledItemDelegate>
#include <map>
#include <memory>
#include <optional>

#include "core/HistoryEntry.h"
#include "platform/Clock.h"
#include "platform/Uuid.h"

namespace windows {

class HistoryListModel;

class HistoryRowDelegate final : public QStyledItemDelegate {
public:
    HistoryRowDelegate(const HistoryListModel& rows, std::shared_ptr<platform::Clock> clock, QObject* parent = nullptr);

    static constexpr int kVerticalPadding = 8;
    static constexpr int kHorizontalInset = 12;
    static constexpr int kInputPixelSize = 14;
    static constexpr int kMaxInputLines = 2;

    struct Layout {
        QStringList inputLines;  // at most two; the last ends in "…" when the input goes on
        QRectF input;
        QRectF appSymbol;
        QRectF appBadge;
        QString appName;
        std::optional<QRectF> quoteBadge;
        QRectF modelBadge;
        QRectF modelIcon;
        QString modelName;
        QRectF age;
        QString ageText;
        int height = 0;
    };
    // The row of `entry` laid out in a rectangle `width` wide from (0, 0);
    // `lines` are its input lines when already known.
    static Layout layout(const core::HistoryEntry& entry, int width, double now,
                         std::optional<QStringList> lines = std::nullopt);
    // The input as the row shows it: wrapped into at most two lines.
    static QStringList inputLines(const QString& input, int width);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    int rowWidth(const QStyleOptionViewItem& option) const;
    // The wrapped input of an entry, kept per entry for the current width:
    // every keystroke lays the list out again.
    const QStringList& cachedLines(const core::HistoryEntry& entry, int width) const;

    const HistoryListModel& rows_;
    std::shared_ptr<platform::Clock> clock_;
    mutable std::map<platform::Uuid, QStringList> lines_;
    mutable int linesWidth_ = -1;
};

}  // namespace windows
