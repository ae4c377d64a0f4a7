#include "windows/HistoryListModel.h"

namespace windows {

HistoryListModel::HistoryListModel(HistoryViewModel& rows, QObject* parent) : QAbstractListModel(parent), rows_(rows) {
    // The rows have already changed when we hear of it: the view reads
    // them all again.
    token_ = rows_.subscribe([this] {
        beginResetModel();
        endResetModel();
    });
}

HistoryListModel::~HistoryListModel() { rows_.unsubscribe(token_); }

int HistoryListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.rowCount());
}

QVariant HistoryListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || role != Qt::DisplayRole) return {};
    return QString::fromStdString(entryAt(index.row()).input);
}

}  // namespace windows
