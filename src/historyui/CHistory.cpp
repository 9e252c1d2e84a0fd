#include "CHistory.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableView>
#include <QTimeEdit>
#include <algorithm>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <utility>

#include "AccessKeyLabels.h"
#include "CTchart1.h"
#include "HistoryDb.h"
#include "HistoryExport.h"
#include "HistoryTableModel.h"
#include "HistoryUiText.h"
#include "RecordTime.h"
#include "SaveDialog.h"
#include "SummaryTable.h"
#include "SummaryView.h"
#include "WorkProgressDialog.h"

namespace nimbary {

namespace {

std::shared_ptr<const HistoryTable> EmptyTable() {
    return std::make_shared<HistoryTable>(RecordTimeText, Units());
}

constexpr int kRowHeight = 24;

// A busy cursor while the browser works.
struct BusyCursor {
    BusyCursor() { QApplication::setOverrideCursor(Qt::BusyCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
};

// The "No." column: 50, or what the largest row number needs.
int NumberColumnWidth(const QFontMetrics& metrics, int rows) {
    return std::max(50, metrics.horizontalAdvance(QString::number(rows)) + 12);
}

}  // namespace

CHistory::CHistory(HistoryDb& db, Messages& messages, SaveDialog& saveDialog, uint32_t currentDevId,
                   QWidget* parent)
    : QDialog(parent), db_(db), messages_(messages), saveDialog_(saveDialog), table_(EmptyTable()) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    setMouseTracking(true);
    BuildControls();
    resize(1100, 700);
    setMinimumSize(760, 460);

    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime dayAgo = now.addSecs(-86400);
    endDate_->setDate(now.date());
    endTime_->setTime(now.time());
    startDate_->setDate(dayAgo.date());
    startTime_->setTime(dayAgo.time());
    rangeFrom_ = OleDateFrom(dayAgo.date(), dayAgo.time());
    rangeTo_ = OleDateFrom(now.date(), now.time());

    splitterX_ = width() / 2;
    splitterY_ = (height() - 100) / 2 + 100;
    Layout();

    ShowLoaded(table_);

    std::vector<uint32_t> ids;
    int selected = -1;
    db_.FillDeviceList(ids, currentDevId, selected);
    for (uint32_t id : ids) idList_->addItem(StationIdText(id));
    idList_->setCurrentIndex(selected);

    modeButtons_[VIEW_LIST_CHART]->setChecked(true);
    LoadCaptions();
}

CHistory::~CHistory() {
    EndDrag();
}

void CHistory::BuildControls() {
    auto named = [](QWidget* w, int id) {
        w->setObjectName(QString("idc_%1").arg(id));
        return w;
    };
    auto place = [](QWidget* w, int x, int y, int width) {
        w->setGeometry(x, y, width, kRowHeight);
    };
    startLabel_ = new QLabel(this);
    endLabel_ = new QLabel(this);
    idLabel_ = new QLabel(this);
    graphLabel_ = new QLabel(this);
    startDate_ = new QDateEdit(this);
    endDate_ = new QDateEdit(this);
    startTime_ = new QTimeEdit(this);
    endTime_ = new QTimeEdit(this);
    idList_ = new QComboBox(this);
    graphList_ = new QComboBox(this);
    update_ = new QPushButton(this);
    export_ = new QPushButton(this);
    exit_ = new QPushButton(this);
    named(startLabel_, 1004);
    named(startDate_, 1008);
    named(startTime_, 1006);
    named(endLabel_, 1005);
    named(endDate_, 1009);
    named(endTime_, 1007);
    named(idLabel_, 1157);
    named(idList_, 1159);
    named(graphLabel_, 1160);
    named(graphList_, 1158);
    named(update_, 1010);
    named(export_, 1011);
    named(exit_, 2);

    // Three rows above the working area (which starts 100 pixels down).
    place(startLabel_, 10, 10, 90);
    place(startDate_, 100, 10, 120);
    place(startTime_, 225, 10, 100);
    place(idLabel_, 345, 10, 60);
    place(idList_, 405, 10, 130);
    place(update_, 555, 10, 100);
    place(endLabel_, 10, 40, 90);
    place(endDate_, 100, 40, 120);
    place(endTime_, 225, 40, 100);
    place(graphLabel_, 345, 40, 60);
    place(graphList_, 405, 40, 130);
    place(export_, 555, 40, 100);
    place(exit_, 555, 70, 100);

    for (QDateEdit* d : {startDate_, endDate_}) {
        d->setDisplayFormat(ShortDateFormat());
        d->setCalendarPopup(false);
    }
    for (QTimeEdit* t : {startTime_, endTime_}) t->setDisplayFormat(TimeWithSecondsFormat());

    modeGroup_ = new QButtonGroup(this);
    modeGroup_->setExclusive(true);
    for (int m = 0; m < 4; ++m) {
        auto* b = new QPushButton(this);
        named(b, 1012 + m);
        b->setCheckable(true);
        place(b, 10 + m * 112, 70, 108);
        modeGroup_->addButton(b, m);
        modeButtons_[m] = b;
    }
    // The Summary view's button ends the row of the view modes.
    summaryButton_ = new QPushButton(this);
    summaryButton_->setObjectName("summary");
    summaryButton_->setCheckable(true);
    summaryButton_->setGeometry(10 + 4 * 112, 70, 92, kRowHeight);
    modeGroup_->addButton(summaryButton_, VIEW_SUMMARY);
    for (QPushButton* b : {update_, export_, exit_, modeButtons_[0], modeButtons_[1],
                           modeButtons_[2], modeButtons_[3], summaryButton_})
        b->setAutoDefault(false);

    list_ = new QTableView(this);
    named(list_, 1003);
    model_ = new HistoryTableModel(table_, this);
    list_->setModel(model_);
    list_->setShowGrid(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setWordWrap(false);
    list_->setCornerButtonEnabled(false);
    list_->verticalHeader()->hide();
    // Fixed rows: the view places a million of them without asking each.
    list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 6);
    QHeaderView* header = list_->horizontalHeader();
    header->setSectionsMovable(true);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignCenter);

    chart_ = new CTchart1(this);
    named(chart_, 1002);

    summary_ = new SummaryView(this);
    summary_->setObjectName("summary_view");
    summary_->hide();

    splitter_ = new QFrame(this);
    named(splitter_, 1000);
    feedback_ = new QFrame(this);
    named(feedback_, 1001);
    feedback_->setAutoFillBackground(true);
    QPalette dark = feedback_->palette();
    dark.setColor(QPalette::Window, QColor(96, 96, 96));
    feedback_->setPalette(dark);
    feedback_->hide();
    // The dialog itself handles the mouse over both bars.
    splitter_->setAttribute(Qt::WA_TransparentForMouseEvents);
    feedback_->setAttribute(Qt::WA_TransparentForMouseEvents);

    connect(update_, &QPushButton::clicked, this, &CHistory::Update);
    connect(export_, &QPushButton::clicked, this, &CHistory::Export);
    connect(exit_, &QPushButton::clicked, this, &QDialog::reject);
    connect(modeGroup_, &QButtonGroup::idClicked, this, &CHistory::SelectMode);
    connect(graphList_, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this](int) { DrawChart(); });
    // Another period: the same summaries by days, months or years.
    connect(summary_, &SummaryView::periodChosen, this, [this](SummaryPeriod period) {
        SummaryRequest request = summaryMade_ ? summaryRequest_ : ChosenRange();
        request.period = period;
        MakeSummary(request);
    });
}

void CHistory::LoadCaptions() {
    setWindowTitle(Text(2111));
    startLabel_->setText(Text(2019));
    endLabel_->setText(Text(2020));
    idLabel_->setText("ID");
    graphLabel_->setText(Text(2058));
    using text::KeyPlace;
    SetAccessKey(startLabel_, startDate_, KeyPlace::History, 1008);
    SetAccessKey(endLabel_, endDate_, KeyPlace::History, 1009);
    SetAccessKey(idLabel_, idList_, KeyPlace::History, 1159);
    SetAccessKey(graphLabel_, graphList_, KeyPlace::History, 1158);
    update_->setText(Text(2021));
    export_->setText(Text(2022));
    exit_->setText(Text(2104));
    // After the texts, which would put their own (empty) mnemonics in place.
    const std::pair<QPushButton*, QKeySequence> shortcuts[] = {
        {update_, QKeySequence(QKeySequence::Refresh)},
        {export_, QKeySequence(Qt::CTRL | Qt::Key_E)}};
    for (const auto& [button, keys] : shortcuts) {
        button->setShortcut(keys);
        button->setToolTip(keys.toString(QKeySequence::NativeText));
    }
    static const int kModeIds[4] = {2059, 2058, 2061, 2060};
    for (int m = 0; m < 4; ++m) modeButtons_[m]->setText(Text(kModeIds[m]));
    summaryButton_->setText(Text(2209));
    summary_->LoadCaptions();
}

SummaryRequest CHistory::ChosenRange() const {
    SummaryRequest request;
    request.start = OleDateFrom(startDate_->date(), startTime_->time());
    request.end = OleDateFrom(endDate_->date(), endTime_->time());
    if (request.end < request.start) std::swap(request.start, request.end);
    request.devId = ParseStationId(idList_->currentText());
    request.period = summary_->Period();
    return request;
}

void CHistory::MakeSummary(const SummaryRequest& request) {
    if (Busy()) return;
    std::vector<PeriodSummary> periods;
    int status = 1;
    RunBusy(Text(2021), [&](WorkProgress&) { status = Summarize(db_, request, periods); });
    // A failed query has shown the database's message and changed nothing.
    if (status != 0) return;
    summaryRequest_ = request;
    summaryMade_ = true;
    summary_->Show(
        std::make_shared<SummaryTable>(request.period, std::move(periods), Units(), request.devId));
}

void CHistory::Update() {
    if (Busy()) return;  // pressed again while loading
    if (mode_ == VIEW_SUMMARY) {
        MakeSummary(ChosenRange());
        return;
    }
    double start = OleDateFrom(startDate_->date(), startTime_->time());
    double end = OleDateFrom(endDate_->date(), endTime_->time());
    // The pickers keep what the user set; only the query runs forwards.
    if (end < start) std::swap(start, end);
    const uint32_t devId = ParseStationId(idList_->currentText());

    auto table = std::make_shared<HistoryTable>(RecordTimeText, Units());
    int status = HistoryTable::LOAD_FAILED;
    nextFrom_ = start;
    nextTo_ = end;
    letGoPending_ = true;
    letGoDone_ = false;
    RunBusy(Text(2021), [&](WorkProgress& progress) {
        // The views let go of the old table before the new one grows.
        status = LoadRange(db_, devId, start, end, *table, &progress,
                           [&progress] { progress.checkpoint = true; });
    });
    letGoPending_ = false;
    // A failed query has shown the database's message and changed nothing;
    // a walk that failed or was cancelled leaves the browser empty.
    if (status == HistoryTable::LOAD_OK)
        ShowLoaded(std::move(table));
    else if (letGoDone_)
        ShowLoaded(table_);
}

void CHistory::LetGoOfTable() {
    if (!letGoPending_) return;  // an export's progress has no checkpoint
    letGoDone_ = true;
    rangeFrom_ = nextFrom_;
    rangeTo_ = nextTo_;
    // The graph list stays as it is: the new table's choices remember its index.
    ShowTable(EmptyTable());
    DrawChart();
#ifdef __GLIBC__
    // The table's columns were large blocks that the allocator would
    // otherwise keep for itself.
    malloc_trim(0);
#endif
}

void CHistory::RunBusy(const QString& label, const std::function<void(WorkProgress&)>& work) {
    BusyCursor busy;
    WorkProgressDialog progress(label, this);
    connect(&progress, &WorkProgressDialog::checkpointReached, this, &CHistory::LetGoOfTable);
    running_ = &progress.Progress();
    progress.Run(work);
    running_ = nullptr;
}

void CHistory::Export() {
    // The worker reads the table shown; it stays alive and unchanged until
    // the export ends, as Update is refused meanwhile.
    std::shared_ptr<const TableSource> table = table_;
    if (mode_ == VIEW_SUMMARY) table = summary_->SharedTable();
    if (Busy() || table->RowCount() == 0) return;
    const std::string path =
        saveDialog_.AskSavePath(this, {{Text(2160), Text(2161)}, QString()}).toStdString();
    if (path.empty()) return;
    const ExportFormat format = ExportFormatOf(path);
    if (format == ExportFormat::None) return;
    const PdfOptions pdf = PdfOptions::ForNow();
    ExportResult result;
    RunBusy(Text(2022),
            [&](WorkProgress& p) { result = ExportHistory(*table, path, format, pdf, p); });
    ShowExportResult(result, path, messages_);
}

void CHistory::ShowLoaded(std::shared_ptr<const HistoryTable> table) {
    ShowTable(std::move(table));
    RebuildGraphList();
    DrawChart();
}

void CHistory::ShowTable(std::shared_ptr<const HistoryTable> table) {
    table_ = std::move(table);
    list_->setUpdatesEnabled(false);
    model_->SetTable(table_);
    const QFontMetrics fm = list_->fontMetrics();
    const int timeWidth = fm.horizontalAdvance(QString::fromStdString(SampleTimeText())) + 8;
    for (int c = 0; c < table_->ColumnCount(); ++c) {
        const int full = table_->FullColumn(c);
        const int w =
            full == 0   ? NumberColumnWidth(fm, table_->RowCount())
            : full == 1 ? timeWidth
                        : fm.horizontalAdvance(QString::fromStdString(table_->HeaderText(c))) + 12;
        list_->horizontalHeader()->resizeSection(c, w);
    }
    list_->setUpdatesEnabled(true);
}

void CHistory::RebuildGraphList() {
    const QSignalBlocker quiet(graphList_);
    const int remembered = graphList_->currentIndex();
    graphList_->clear();
    for (Graph g : GraphChoices(*table_))
        graphList_->addItem(Text(GraphStringId(g)), static_cast<int>(g));
    graphList_->setCurrentIndex(remembered >= 0 && remembered < graphList_->count() ? remembered
                                                                                    : 0);
}

void CHistory::DrawChart() {
    const int index = graphList_->currentIndex();
    const Graph graph =
        index < 0 ? Graph::Temperature : static_cast<Graph>(graphList_->itemData(index).toInt());
    // In the units of the table's Update, whatever the station's are now.
    chart_->Show(table_, graph, rangeFrom_, rangeTo_);
}

BrowserLayout CHistory::Area() const {
    return BrowserLayout::ForClient(width(), height());
}

void CHistory::Layout() {
    if (!list_ || !chart_) return;
    // A smaller window keeps the splitter inside it, within its drag margins.
    const BrowserLayout area = Area();
    splitterX_ = area.ClampX(splitterX_);
    splitterY_ = area.ClampY(splitterY_);
    const BrowserLayout::Placement p = area.Place(mode_, splitterX_, splitterY_);
    feedback_->hide();
    list_->setGeometry(p.list);
    chart_->setGeometry(p.chart);
    splitter_->setGeometry(p.splitter);
    summary_->setGeometry(p.summary);
    list_->setVisible(p.listShown);
    chart_->setVisible(p.chartShown);
    splitter_->setVisible(p.splitterShown);
    summary_->setVisible(p.summaryShown);
    // The Summary view charts by its own choice.
    graphList_->setEnabled(!p.summaryShown);
}

void CHistory::SelectMode(int mode) {
    if (mode < VIEW_LIST || mode > VIEW_SUMMARY) return;
    QPushButton* button = mode == VIEW_SUMMARY ? summaryButton_ : modeButtons_[mode];
    if (mode == mode_) {
        button->setChecked(true);
        return;
    }
    mode_ = mode;
    button->setChecked(true);
    Layout();
    if (mode == VIEW_SUMMARY && !summaryMade_) MakeSummary(ChosenRange());
}

void CHistory::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    Layout();
}

void CHistory::mousePressEvent(QMouseEvent* event) {
    const bool split = mode_ == VIEW_LIST_CHART || mode_ == VIEW_CHART_LIST;
    if (!split || event->button() != Qt::LeftButton ||
        !splitter_->geometry().contains(event->position().toPoint())) {
        QDialog::mousePressEvent(event);
        return;
    }
    // The press grabs the mouse for the dialog until the button comes up.
    dragging_ = true;
    QApplication::setOverrideCursor(mode_ == VIEW_LIST_CHART ? Qt::SizeHorCursor
                                                             : Qt::SizeVerCursor);
    feedback_->setGeometry(splitter_->geometry());
    feedback_->show();
    feedback_->raise();
}

void CHistory::mouseMoveEvent(QMouseEvent* event) {
    const bool split = mode_ == VIEW_LIST_CHART || mode_ == VIEW_CHART_LIST;
    if (!split) {
        QDialog::mouseMoveEvent(event);
        return;
    }
    const QPoint pos = event->position().toPoint();
    const QCursor sizing(mode_ == VIEW_LIST_CHART ? Qt::SizeHorCursor : Qt::SizeVerCursor);
    if (!dragging_) {
        if (splitter_->geometry().contains(pos))
            setCursor(sizing);
        else
            unsetCursor();
        return;
    }
    const BrowserLayout area = Area();
    QRect bar = feedback_->geometry();
    if (mode_ == VIEW_LIST_CHART) {
        splitterX_ = area.DragX(pos.x());
        bar = QRect(splitterX_, bar.y(), BrowserLayout::kBarWidth, bar.height());
    } else {
        splitterY_ = area.DragY(pos.y());
        bar = QRect(bar.x(), splitterY_, bar.width(), BrowserLayout::kBarWidth);
    }
    feedback_->setGeometry(bar);
}

void CHistory::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_) {
        QDialog::mouseReleaseEvent(event);
        return;
    }
    EndDrag();
    Layout();
}

void CHistory::EndDrag() {
    if (!dragging_) return;
    dragging_ = false;
    QApplication::restoreOverrideCursor();
    feedback_->hide();
}

void CHistory::done(int result) {
    EndDrag();
    // Work under way stops; the load closes its own selection.
    if (running_)
        running_->cancel = true;
    else
        db_.CloseSelection();
    QDialog::done(result);
}

}  // namespace nimbary
