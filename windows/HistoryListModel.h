#pragma once

// The History tab's rows as a Qt list model over a HistoryViewModel: one row
// per entry that passes the search, reset whenever the rows change. The
// display role is the entry's input; the delegate reads the whole entry
// through `entryAt`.

#include <QAbstractListModel>

#include "core/ObserverList.h"
#include "windows/HistoryViewModel.h"

namespace windows {

class HistoryListModel final : public QAbstractListModel {
public:
    explicit HistoryListModel(HistoryViewModel& rows, QObject* parent = nullptr);
    ~HistoryListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    const core::HistoryEntry& entryAt(int row) const { return rows_.entryAt(static_cast<std::size_t>(row)); }

private:
    HistoryViewModel& rows_;
    core::ObserverToken token_;
};

}  // namespace windows
