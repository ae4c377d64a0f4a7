#include "windows/HistoryRowDelegate.h"

#include <QAbstractItemView>
#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

#include "core/ModelInfo.h"
#include "ui/ModelIconView.h"
#include "ui/Badge.h"
#include "ui/Palette.h"
#include "ui/SymbolIcon.h"
#include "ui/TextStyle.h"
#include "windows/HistoryListModel.h"
#include "windows/TimeAgo.h"

namespace windows {
namespace {

constexpr int kLineSpacing = 8;
constexpr int kBadgeSpacing = 12;
constexpr int kAppSymbolSpacing = 6;
constexpr int kModelIconSpacing = 4;
constexpr int kCaptionSymbolSize = 10;
// Two lines never hold more than this many characters at the window's
// width: longer inputs are cut before they are laid out.
constexpr int kMaxLaidOutCharacters = 600;
const QChar kEllipsis(0x2026);

QFont inputFont() { return ui::TextStyles::system(HistoryRowDelegate::kInputPixelSize); }
QFont captionFont() { return ui::TextStyles::font(ui::TextStyle::Caption); }

qreal badgeHeight() {
    return std::max<qreal>(QFontMetricsF(captionFont()).height(), ui::kModelIconSize) +
           2 * ui::Badge::verticalPadding;
}

qreal inputHeight(qsizetype lines) {
    return std::max<qsizetype>(1, lines) * QFontMetricsF(inputFont()).lineSpacing();
}

int rowHeight(qsizetype lines) {
    return int(std::ceil(HistoryRowDelegate::kVerticalPadding + inputHeight(lines) + kLineSpacing + badgeHeight() +
                         HistoryRowDelegate::kVerticalPadding));
}

core::ModelInfo modelOf(const core::HistoryEntry& entry) {
    return core::ModelInfo{entry.modelName, entry.modelName, true};
}

}  // namespace

HistoryRowDelegate::HistoryRowDelegate(const HistoryListModel& rows, std::shared_ptr<platform::Clock> clock,
                                       QObject* parent)
    : QStyledItemDelegate(parent), rows_(rows), clock_(std::move(clock)) {}

QStringList HistoryRowDelegate::inputLines(const QString& input, int width) {
    QString text = input.left(kMaxLaidOutCharacters);
    bool cut = text.size() < input.size();
    // QTextLayout breaks lines only at the Unicode line separator.
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(text, inputFont());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    int end = 0;
    layout.beginLayout();
    while (lines.size() < kMaxInputLines) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) break;
        line.setLineWidth(width);
        QString piece = text.mid(line.textStart(), line.textLength());
        while (!piece.isEmpty() && (piece.back() == QChar::LineSeparator || piece.back() == QLatin1Char('\r'))) {
            piece.chop(1);
        }
        lines.push_back(piece);
        end = line.textStart() + line.textLength();
    }
    layout.endLayout();
    cut = cut || end < text.size();
    if (cut && !lines.isEmpty()) {
        const QFontMetricsF metrics(inputFont());
        const QString elided =
            metrics.elidedText(lines.back(), Qt::ElideRight, width - metrics.horizontalAdvance(kEllipsis));
        lines.back() = elided == lines.back() ? elided + kEllipsis : elided;
    }
    return lines;
}

HistoryRowDelegate::Layout HistoryRowDelegate::layout(const core::HistoryEntry& entry, int width, double now,
                                                      std::optional<QStringList> lines) {
    Layout out;
    const qreal left = kHorizontalInset;
    const qreal contentWidth = std::max(0, width - 2 * kHorizontalInset);
    const QFontMetricsF captionMetrics(captionFont());

    out.inputLines = lines ? *std::move(lines) : inputLines(QString::fromStdString(entry.input), int(contentWidth));
    qreal y = kVerticalPadding;
    out.input = QRectF(left, y, contentWidth, inputHeight(out.inputLines.size()));
    y = out.input.bottom() + kLineSpacing;

    const qreal badge = badgeHeight();
    const qreal pad = ui::Badge::horizontalPadding;
    const auto centred = [&](qreal x, qreal size) { return QRectF(x, y + (badge - size) / 2, size, size); };
    // Long names give way before the age does.
    const qreal maxName = contentWidth / 3;

    qreal x = left;
    out.appSymbol = centred(x, kCaptionSymbolSize);
    x = out.appSymbol.right() + kAppSymbolSpacing;
    out.appName = captionMetrics.elidedText(QString::fromStdString(entry.applicationName), Qt::ElideRight, maxName);
    out.appBadge = QRectF(x, y, captionMetrics.horizontalAdvance(out.appName) + 2 * pad, badge);
    x = out.appBadge.right() + kBadgeSpacing;

    if (entry.selectedText) {
        out.quoteBadge = QRectF(x, y, kCaptionSymbolSize + 2 * pad, badge);
        x = out.quoteBadge->right() + kBadgeSpacing;
    }

    out.modelName = captionMetrics.elidedText(QString::fromStdString(entry.modelName), Qt::ElideRight, maxName);
    out.modelIcon = centred(x + pad, ui::kModelIconSize);
    out.modelBadge = QRectF(x, y, 2 * pad + ui::kModelIconSize + kModelIconSpacing +
                                      captionMetrics.horizontalAdvance(out.modelName),
                            badge);

    out.ageText = QString::fromStdString(timeAgo(now, entry.timestamp));
    const qreal ageWidth = captionMetrics.horizontalAdvance(out.ageText);
    out.age = QRectF(left + contentWidth - ageWidth, y, ageWidth, badge);

    out.height = rowHeight(out.inputLines.size());
    return out;
}

int HistoryRowDelegate::rowWidth(const QStyleOptionViewItem& option) const {
    if (const auto* view = qobject_cast<const QAbstractItemView*>(option.widget)) return view->viewport()->width();
    return option.rect.width();
}

const QStringList& HistoryRowDelegate::cachedLines(const core::HistoryEntry& entry, int width) const {
    const int contentWidth = std::max(0, width - 2 * kHorizontalInset);
    if (contentWidth != linesWidth_) {
        lines_.clear();
        linesWidth_ = contentWidth;
    }
    auto it = lines_.find(entry.id);
    if (it == lines_.end()) {
        it = lines_.emplace(entry.id, inputLines(QString::fromStdString(entry.input), contentWidth)).first;
    }
    return it->second;
}

QSize HistoryRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const int width = rowWidth(option);
    const auto& entry = rows_.entryAt(index.row());
    return QSize(width, rowHeight(cachedLines(entry, width).size()));
}

void HistoryRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const auto& entry = rows_.entryAt(index.row());
    const int width = option.rect.width();
    const Layout row = layout(entry, width, clock_->nowSinceReferenceDate(), cachedLines(entry, width));

    painter->save();
    painter->translate(option.rect.topLeft());
    const QColor white = ui::Palette::color(ui::Colour::White);
    const QColor grey = ui::Palette::color(ui::Colour::Grey);

    painter->setFont(inputFont());
    painter->setPen(white);
    const qreal lineHeight = QFontMetricsF(inputFont()).lineSpacing();
    for (int i = 0; i < row.inputLines.size(); ++i) {
        const QRectF line(row.input.left(), row.input.top() + i * lineHeight, row.input.width(), lineHeight);
        painter->drawText(line, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, row.inputLines[i]);
    }

    painter->setFont(captionFont());
    const qreal pad = ui::Badge::horizontalPadding;
    ui::SymbolIcon::paint(*painter, row.appSymbol, "app.fill", grey);
    ui::Badge::paintBackground(*painter, row.appBadge, ui::Palette::color(ui::Colour::Grey, 0.2));
    painter->setPen(white);
    painter->drawText(row.appBadge.adjusted(pad, 0, -pad, 0), Qt::AlignLeft | Qt::AlignVCenter, row.appName);

    if (row.quoteBadge) {
        const QRectF& badge = *row.quoteBadge;
        ui::Badge::paintBackground(*painter, badge, ui::Palette::color(ui::Colour::Blue, 0.2));
        const QRectF symbol(badge.left() + pad, badge.center().y() - kCaptionSymbolSize / 2.0, kCaptionSymbolSize,
                            kCaptionSymbolSize);
        ui::SymbolIcon::paint(*painter, symbol, "text.quote", ui::Palette::color(ui::Colour::Blue));
    }

    ui::Badge::paintBackground(*painter, row.modelBadge, ui::Palette::color(ui::Colour::Purple, 0.2));
    ui::paintModelIcon(*painter, row.modelIcon, modelOf(entry), /*isSelected=*/true);
    painter->setPen(white);
    painter->drawText(QRectF(row.modelIcon.right() + kModelIconSpacing, row.modelBadge.top(),
                             row.modelBadge.right() - pad - row.modelIcon.right() - kModelIconSpacing,
                             row.modelBadge.height()),
                      Qt::AlignLeft | Qt::AlignVCenter, row.modelName);

    painter->setPen(grey);
    painter->drawText(row.age, Qt::AlignRight | Qt::AlignVCenter, row.ageText);

    // The plain list's thin separator under each row.
    painter->setPen(ui::Palette::color(ui::Colour::Grey, 0.25));
    painter->drawLine(QPointF(kHorizontalInset, option.rect.height() - 0.5),
                      QPointF(width - kHorizontalInset, option.rect.height() - 0.5));
    painter->restore();
}

}  // namespace windows
