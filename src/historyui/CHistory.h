#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <memory>

#include "BrowserLayout.h"
#include "ChartData.h"
#include "HistorySummary.h"
#include "HistoryTable.h"
#include "Messages.h"
#include "WorkProgress.h"

class QButtonGroup;
class QComboBox;
class QDateEdit;
class QFrame;
class QLabel;
class QPushButton;
class QTableView;
class QTimeEdit;

namespace nimbary {

class CTchart1;
class HistoryDb;
class HistoryTableModel;
class SaveDialog;
class SummaryView;

// The history browser: one station's records of a time range as a table and
// as a chart of one quantity group, side by side, stacked or alone, with a
// splitter bar between them that the mouse drags.
//
// It reads the database only, through its browser operations (their own
// connection, so a download storing records meanwhile neither waits for it
// nor changes what it shows). Update loads the records on a worker thread
// into the table, which every view then reads (the list, the chart), so
// they never read the database again; the window answers meanwhile, with
// a busy cursor, and a progress window with Cancel comes up after half a
// second. Once the query is open the table shown is let go, so a long
// history is never held twice: a walk that fails or is cancelled then
// leaves the browser empty, as a range without records shows it.
class CHistory : public QDialog {
    Q_OBJECT
public:
    // `db`, `messages` and `saveDialog` outlive the dialog; `currentDevId`
    // is selected in the station list (the first station when it is not stored).
    CHistory(HistoryDb& db, Messages& messages, SaveDialog& saveDialog, uint32_t currentDevId = 0,
             QWidget* parent = nullptr);
    ~CHistory() override;

    // The table the list shows, with the station of its records: the
    // export's source.
    const HistoryTable& Table() const { return *table_; }
    std::shared_ptr<const HistoryTable> SharedTable() const { return table_; }
    HistoryTableModel& Model() const { return *model_; }
    CTchart1& Chart() const { return *chart_; }
    SummaryView& Summary() const { return *summary_; }

    int Mode() const { return mode_; }
    int SplitterX() const { return splitterX_; }
    int SplitterY() const { return splitterY_; }
    bool Dragging() const { return dragging_; }
    // An Update or an export is under way.
    bool Busy() const { return running_ != nullptr; }

    // Button 1010: loads the records of the chosen station and range, or
    // in the Summary view their summaries.
    void Update();
    // Button 1011: writes the table to the chosen file, csv or pdf: the
    // summary table in the Summary view.
    void Export();
    // Buttons 1012-1015 and Summary (VIEW_SUMMARY), which makes the
    // summaries of the chosen range when it has none yet.
    void SelectMode(int mode);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void done(int result) override;

private:
    void BuildControls();
    void LoadCaptions();
    // Every view shows `table`: the list, the graph list and the chart.
    void ShowLoaded(std::shared_ptr<const HistoryTable> table);
    void ShowTable(std::shared_ptr<const HistoryTable> table);
    // Once Update's query is open: the views show nothing until the new table.
    void LetGoOfTable();
    // `work` on a worker thread behind a progress window titled `label`.
    void RunBusy(const QString& label, const std::function<void(WorkProgress&)>& work);
    // The summaries of `request` into the Summary view, on a worker thread.
    void MakeSummary(const SummaryRequest& request);
    SummaryRequest ChosenRange() const;
    void RebuildGraphList();
    void DrawChart();
    void Layout();
    void EndDrag();
    BrowserLayout Area() const;

    HistoryDb& db_;
    Messages& messages_;
    SaveDialog& saveDialog_;
    WorkProgress* running_ = nullptr;
    std::shared_ptr<const HistoryTable> table_;

    QLabel* startLabel_ = nullptr;
    QLabel* endLabel_ = nullptr;
    QLabel* idLabel_ = nullptr;
    QLabel* graphLabel_ = nullptr;
    QDateEdit* startDate_ = nullptr;
    QTimeEdit* startTime_ = nullptr;
    QDateEdit* endDate_ = nullptr;
    QTimeEdit* endTime_ = nullptr;
    QComboBox* idList_ = nullptr;
    QComboBox* graphList_ = nullptr;
    QPushButton* update_ = nullptr;
    QPushButton* export_ = nullptr;
    QPushButton* exit_ = nullptr;
    QPushButton* modeButtons_[4] = {};
    QButtonGroup* modeGroup_ = nullptr;
    QTableView* list_ = nullptr;
    HistoryTableModel* model_ = nullptr;
    CTchart1* chart_ = nullptr;
    QFrame* splitter_ = nullptr;
    QFrame* feedback_ = nullptr;
    QPushButton* summaryButton_ = nullptr;
    SummaryView* summary_ = nullptr;
    // What the Summary view shows the summaries of, once it has any.
    SummaryRequest summaryRequest_;
    bool summaryMade_ = false;

    int mode_ = VIEW_LIST_CHART;
    int splitterX_ = 0;
    int splitterY_ = 0;
    bool dragging_ = false;
    // The range of the last query, for the time axis of an empty chart.
    double rangeFrom_ = 0, rangeTo_ = 0;
    // The Update under way: its range, and whether the views have let go.
    double nextFrom_ = 0, nextTo_ = 0;
    bool letGoPending_ = false, letGoDone_ = false;
};

}  // namespace nimbary
