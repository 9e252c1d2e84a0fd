#pragma once

#include <memory>

#include "HistoryTable.h"

namespace nimbary::testing {

// A table as the list reads it, counting the cells asked of it.
struct CountingSource : TableSource {
    explicit CountingSource(std::shared_ptr<const HistoryTable> t) : table(std::move(t)) {}
    int ColumnCount() const override { return table->ColumnCount(); }
    int RowCount() const override { return table->RowCount(); }
    std::string HeaderText(int c) const override { return table->HeaderText(c); }
    std::string CellText(int r, int c) const override {
        ++cells;
        return table->CellText(r, c);
    }
    std::shared_ptr<const HistoryTable> table;
    mutable long long cells = 0;
};

}  // namespace nimbary::testing
