#include "HistoryTableModel.h"

namespace nimbary {

HistoryTableModel::HistoryTableModel(std::shared_ptr<const TableSource> table, QObject* parent)
    : QAbstractTableModel(parent), table_(std::move(table)) {}

void HistoryTableModel::SetTable(std::shared_ptr<const TableSource> table) {
    beginResetModel();
    table_ = std::move(table);
    endResetModel();
}

int HistoryTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_->RowCount();
}

int HistoryTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_->ColumnCount();
}

QVariant HistoryTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole) return {};
    return QString::fromStdString(table_->CellText(index.row(), index.column()));
}

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= table_->ColumnCount()) return {};
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole) return {};
    return QString::fromStdString(table_->HeaderText(section));
}

}  // namespace nimbary
