#pragma once

#include <QAbstractTableModel>
#include <memory>

#include "HistoryTable.h"

namespace nimbary {

// The history list's model: a view onto a table source that formats a cell
// only when the view asks for it, so a year of records costs no item per
// cell and scrolling formats just the rows that come into sight.
class HistoryTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit HistoryTableModel(std::shared_ptr<const TableSource> table, QObject* parent = nullptr);

    void SetTable(std::shared_ptr<const TableSource> table);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::shared_ptr<const TableSource> table_;
};

}  // namespace nimbary
