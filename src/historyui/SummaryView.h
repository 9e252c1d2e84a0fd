#pragma once

#include <QWidget>
#include <memory>

#include "HistorySummary.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QPushButton;
class QSplitter;
class QTableView;

namespace nimbary {

class HistoryTableModel;
class SummaryChart;
class SummaryTable;

// The history browser's Summary view: the summaries of the range by day,
// month or year as a table, and below it a chart of each period's highest
// and lowest value of a quantity with the rain totals as bars. The browser
// makes the summaries; this shows them and says which periods are wanted.
class SummaryView : public QWidget {
    Q_OBJECT
public:
    explicit SummaryView(QWidget* parent = nullptr);

    // Shows `table` in the list and the chart, which keeps the quantity it
    // charted when the new table has it.
    void Show(std::shared_ptr<const SummaryTable> table);
    const SummaryTable& Table() const { return *table_; }
    std::shared_ptr<const SummaryTable> SharedTable() const { return table_; }

    SummaryPeriod Period() const { return period_; }
    // The texts of the language in force.
    void LoadCaptions();

    QTableView* List() const { return list_; }
    SummaryChart* Chart() const { return chart_; }
    QComboBox* Quantities() const { return quantity_; }

signals:
    // Day, Month or Year was pressed.
    void periodChosen(SummaryPeriod period);

private:
    void RebuildQuantities();
    void DrawChart();

    std::shared_ptr<const SummaryTable> table_;
    SummaryPeriod period_ = SummaryPeriod::Day;
    QButtonGroup* periods_ = nullptr;
    QPushButton* periodButtons_[3] = {};
    QLabel* chartLabel_ = nullptr;
    QComboBox* quantity_ = nullptr;
    QSplitter* split_ = nullptr;
    QTableView* list_ = nullptr;
    HistoryTableModel* model_ = nullptr;
    SummaryChart* chart_ = nullptr;
};

}  // namespace nimbary
