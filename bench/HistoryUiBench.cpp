#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QImage>
#include <QScrollBar>
#include <QTableView>
#include <QTimeEdit>
#include <chrono>
#include <fstream>
#include <map>
#include <memory>

#include "CHistory.h"
#include "SaveDialog.h"
#include "HistoryFill.h"
#include "HistoryTableModel.h"
#include "RecordTime.h"
#include "TempDir.h"

using namespace nimbary;
using namespace nimbary::testing;

namespace {

constexpr uint32_t kDev = 0x5A17C0DE;
constexpr int kYear = 105120;  // 365 days of 5-minute records

void EnsureApp() {
    static int argc = 1;
    static char name[] = "bench_historyui";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
}

// One database per size, filled once per run: indoor, channel 1, wind,
// pressure and rain in every record.
struct Store {
    TempDir dir;
    StderrMessages messages;
    HistoryDb db{&messages};
    double from = 0, to = 0;
};

Store& StoreOf(int rows) {
    static std::map<int, std::unique_ptr<Store>> stores;
    auto& s = stores[rows];
    if (!s) {
        s = std::make_unique<Store>();
        const uint32_t start = At(2023, 1, 1);
        s->db.Open(s->dir.File("Nimbary.db"));
        SaveWeather(s->db, kDev, start, rows);
        s->from = StationTimeToOleDate(start);
        s->to = StationTimeToOleDate(start + 300u * static_cast<uint32_t>(rows - 1));
    }
    return *s;
}

// The floor: SQLite alone walking the same rows and reading every column.
double FloorWalk(const Store& s) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(s.db.Path().c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    std::string sql = "SELECT ";
    for (const auto& c : RecordColumnNames()) sql += (sql.size() > 7 ? ", " : "") + c;
    sql += " FROM Record WHERE DevID = ? AND RecTime >= ? AND RecTime <= ? ORDER BY RecTime ASC";
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
    sqlite3_bind_int(st, 1, static_cast<int32_t>(kDev));
    sqlite3_bind_double(st, 2, s.from - 1e-6);
    sqlite3_bind_double(st, 3, s.to + 1e-6);
    double sum = 0;
    const int columns = static_cast<int>(RecordColumnNames().size());
    while (sqlite3_step(st) == SQLITE_ROW)
        for (int c = 0; c < columns; ++c)
            if (sqlite3_column_type(st, c) != SQLITE_NULL) sum += sqlite3_column_double(st, c);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return sum;
}

double Millis(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double BestFloorMs(const Store& s) {
    double best = 1e300;
    for (int i = 0; i < 3; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(FloorWalk(s));
        best = std::min(best, Millis(std::chrono::steady_clock::now() - t0));
    }
    return best;
}

double ResidentMB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4096.0 / 1e6;
}

// A browser over the store, shown, with the whole stored range picked.
struct Browser {
    explicit Browser(Store& s) : dlg((EnsureApp(), s.db), s.messages, saves, kDev) {
        QDate d;
        QTime t;
        OleDateToCalendar(s.from, d, t);
        dlg.findChild<QDateEdit*>("idc_1008")->setDate(d);
        dlg.findChild<QTimeEdit*>("idc_1006")->setTime(t);
        OleDateToCalendar(s.to, d, t);
        dlg.findChild<QDateEdit*>("idc_1009")->setDate(d);
        dlg.findChild<QTimeEdit*>("idc_1007")->setTime(t);
        dlg.show();
        QApplication::processEvents();
    }
    void Paint() { dlg.render(&image); }
    QtSaveDialog saves;
    CHistory dlg;
    QImage image{dlg.size(), QImage::Format_RGB32};
};

void BM_SqliteWalkFloor(benchmark::State& state) {
    Store& s = StoreOf(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(FloorWalk(s));
    state.counters["rows"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_SqliteWalkFloor)->Arg(kYear)->Unit(benchmark::kMillisecond)->UseRealTime();

// The table source alone: the query, the walk into the table, no widgets.
void BM_TableLoad(benchmark::State& state) {
    Store& s = StoreOf(static_cast<int>(state.range(0)));
    const double floor = BestFloorMs(s);
    double total = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        HistoryTable table(RecordTimeText, Units());
        s.db.SelectRecords(kDev, s.from, s.to);
        if (table.Load(s.db, kDev) != 0 || table.RowCount() != state.range(0))
            state.SkipWithError("load failed");
        s.db.CloseSelection();
        total += Millis(std::chrono::steady_clock::now() - t0);
        state.counters["table_MB"] = table.MemoryBytes() / 1e6;
    }
    state.counters["floor_ms"] = floor;
    state.counters["x_floor"] = total / state.iterations() / floor;
}
BENCHMARK(BM_TableLoad)->Arg(kYear)->Unit(benchmark::kMillisecond)->UseRealTime();

// Update to the first paint of table and chart (List | Chart, the
// opening mode, Temperature: indoor and channel 1, every record a point).
// Memory: what the process holds more than before the dialog was made,
// after the first Update and after the last.
void BM_Update(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    Store& s = StoreOf(rows);
    const double floor = BestFloorMs(s);
    const double before = ResidentMB();
    Browser b(s);
    double total = 0, first = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        b.dlg.Update();
        b.Paint();
        total += Millis(std::chrono::steady_clock::now() - t0);
        if (first == 0) first = ResidentMB() - before;
        if (b.dlg.Table().RowCount() != rows) state.SkipWithError("rows missing");
    }
    state.counters["rows"] = rows;
    state.counters["floor_ms"] = floor;
    state.counters["x_floor"] = total / state.iterations() / floor;
    state.counters["table_MB"] = b.dlg.Table().MemoryBytes() / 1e6;
    state.counters["rss_first_MB"] = first;
    state.counters["rss_last_MB"] = ResidentMB() - before;
}
BENCHMARK(BM_Update)->Arg(kYear)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_Update)->Arg(10 * kYear)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

// Choosing another graph to its first paint: from Wind to the argument's
// group, Temperature (indoor and channel 1) or Pressure with two full
// series, Rainfall with eight. The way back to Wind is not timed.
void BM_SwitchGraph(benchmark::State& state) {
    Store& s = StoreOf(kYear);
    const double floor = BestFloorMs(s);
    Browser b(s);
    b.dlg.Update();
    auto* graphs = b.dlg.findChild<QComboBox*>("idc_1158");
    const int wind = graphs->findData(static_cast<int>(Graph::Wind));
    const int other = graphs->findData(static_cast<int>(state.range(0)));
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        graphs->setCurrentIndex(wind);
        b.Paint();
        state.ResumeTiming();
        const auto t0 = std::chrono::steady_clock::now();
        graphs->setCurrentIndex(other);
        b.Paint();
        total += Millis(std::chrono::steady_clock::now() - t0);
    }
    state.counters["floor_ms"] = floor;
    state.counters["x_floor"] = total / state.iterations() / floor;
}
BENCHMARK(BM_SwitchGraph)
    ->Arg(static_cast<int>(Graph::Temperature))
    ->Arg(static_cast<int>(Graph::Pressure))
    ->Arg(static_cast<int>(Graph::Rainfall))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(10);

// Scrolling the list a page at a time: the cells formatted for each page
// against the cells in sight.
void BM_ScrollTable(benchmark::State& state) {
    Store& s = StoreOf(kYear);
    Browser b(s);
    b.dlg.SelectMode(VIEW_LIST);
    b.dlg.Update();
    auto* list = b.dlg.findChild<QTableView*>("idc_1003");
    QImage image(list->size(), QImage::Format_RGB32);
    QScrollBar* bar = list->verticalScrollBar();
    long long most = 0;
    for (auto _ : state) {
        b.dlg.Model().ResetFormattedCells();
        bar->setValue((bar->value() + bar->pageStep()) % bar->maximum());
        list->render(&image);
        most = std::max(most, b.dlg.Model().FormattedCells());
    }
    const int rowsInSight =
        list->viewport()->height() / list->verticalHeader()->defaultSectionSize() + 1;
    int columnsInSight = 0;
    for (int c = 0; c < b.dlg.Table().ColumnCount(); ++c)
        columnsInSight +=
            list->horizontalHeader()->sectionViewportPosition(c) < list->viewport()->width();
    state.counters["cells_per_page_max"] = static_cast<double>(most);
    state.counters["cells_in_sight"] = rowsInSight * columnsInSight;
    state.counters["rows"] = b.dlg.Table().RowCount();
}
BENCHMARK(BM_ScrollTable)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
