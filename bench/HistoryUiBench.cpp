// The history browser over a year (105,120 records) and ten years
// (1,051,200) of 5-minute records, each figure beside its floor in the
// same run: Update to the first rows of the list against the bare SQLite
// walk of the same rows (alternating, iteration by iteration), the window's
// longest pause meanwhile, the process's peak memory of later Updates of
// ten years against that of the first, a graph switch and scrolling.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QImage>
#include <QScrollBar>
#include <QTableView>
#include <QTimeEdit>
#include <QTimer>
#include <chrono>
#include <fstream>
#include <map>
#include <memory>

#include "CHistory.h"
#include "CTchart1.h"
#include "CountingSource.h"
#include "HistoryFill.h"
#include "HistoryTableModel.h"
#include "RecordTime.h"
#include "SaveDialog.h"
#include "WeatherStore.h"

using namespace nimbary;
using namespace nimbary::testing;
using namespace nimbary::bench;

namespace {

// Records from 2015 on.
Store& StoreOf(int rows) {
    return bench::StoreOf(rows, At(2015, 1, 1));
}

using Clock = std::chrono::steady_clock;

double Millis(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The floor: SQLite alone walking the same rows and reading every column.
double FloorWalkMs(const Store& s) {
    const auto t0 = Clock::now();
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
    benchmark::DoNotOptimize(sum);
    return Millis(Clock::now() - t0);
}

// The process's peak resident size since the last reset, and the reset.
double PeakMB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return 0;
}
void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// A browser over the store, shown, with the whole stored range picked.
struct Browser {
    explicit Browser(Store& s) : dlg(s.db, s.messages, saves, kDev) {
        QDate d;
        QTime t;
        OleDateToCalendar(s.from, d, t);
        dlg.findChild<QDateEdit*>("idc_1008")->setDate(d);
        dlg.findChild<QTimeEdit*>("idc_1006")->setTime(t);
        OleDateToCalendar(s.to, d, t);
        dlg.findChild<QDateEdit*>("idc_1009")->setDate(d);
        dlg.findChild<QTimeEdit*>("idc_1007")->setTime(t);
        dlg.resize(1400, 900);
        dlg.show();
        QApplication::processEvents();
        list = dlg.findChild<QTableView*>("idc_1003");
    }
    // Update to the list's first rows on the screen; the window's longest
    // pause meanwhile, as a timer every 5 ms on its thread sees it.
    double UpdateMs(double& longestPauseMs) {
        QElapsedTimer since;
        double longest = 0;
        QTimer tick;
        tick.setInterval(5);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            longest = std::max(longest, static_cast<double>(since.restart()));
        });
        tick.start();
        since.start();
        const auto t0 = Clock::now();
        dlg.Update();
        list->render(&listImage);
        const double ms = Millis(Clock::now() - t0);
        longestPauseMs = std::max(longest, static_cast<double>(since.elapsed()));
        return ms;
    }
    double ChartMs() {
        const auto t0 = Clock::now();
        static_cast<QWidget&>(dlg.Chart()).render(&chartImage);
        return Millis(Clock::now() - t0);
    }
    QtSaveDialog saves;
    CHistory dlg;
    QTableView* list = nullptr;
    QImage listImage{dlg.size(), QImage::Format_RGB32};
    QImage chartImage{dlg.size(), QImage::Format_RGB32};
};

void BM_SqliteWalkFloor(benchmark::State& state) {
    Store& s = StoreOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.SetIterationTime(FloorWalkMs(s) / 1000);
    }
    state.counters["rows"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_SqliteWalkFloor)
    ->Arg(kYear)
    ->Arg(10 * kYear)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

// Update to the first rows of the list (List | Chart, the opening mode,
// Temperature charted): each iteration the floor's walk, then Update.
// x_floor is the mean of the iterations' ratios, x_floor_max the worst.
void BM_Update(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    Store& s = StoreOf(rows);
    Browser b(s);
    double ratios = 0, worst = 0, floorSum = 0, pause = 0, chart = 0;
    for (auto _ : state) {
        const double floor = FloorWalkMs(s);
        double longest = 0;
        const double ms = b.UpdateMs(longest);
        state.SetIterationTime(ms / 1000);
        if (b.dlg.Table().RowCount() != rows) state.SkipWithError("rows missing");
        chart += b.ChartMs();
        floorSum += floor;
        ratios += ms / floor;
        worst = std::max(worst, ms / floor);
        pause = std::max(pause, longest);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["rows"] = rows;
    state.counters["floor_ms"] = floorSum / n;
    state.counters["x_floor"] = ratios / n;
    state.counters["x_floor_max"] = worst;
    state.counters["longest_pause_ms"] = pause;
    state.counters["chart_paint_ms"] = chart / n;
}
BENCHMARK(BM_Update)->Arg(kYear)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_Update)
    ->Arg(10 * kYear)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

// The process's peak resident size during Updates of ten years: the first
// (its floor: one table and one chart) and each later one, the browser
// already holding ten years when it starts.
void BM_UpdatePeakMemory(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    Store& s = StoreOf(rows);
    Browser b(s);
    double first = 0, later = 0, pause = 0;
    for (auto _ : state) {
        ResetPeak();
        double longest = 0;
        state.SetIterationTime(b.UpdateMs(longest) / 1000);
        b.ChartMs();
        const double peak = PeakMB();
        if (first == 0)
            first = peak;
        else
            later = std::max(later, peak);
        pause = std::max(pause, longest);
    }
    state.counters["peak_first_MB"] = first;
    state.counters["peak_later_MB"] = later;
    state.counters["x_first"] = later / first;
    state.counters["table_MB"] = b.dlg.Table().MemoryBytes() / 1e6;
    state.counters["longest_pause_ms"] = pause;
}
BENCHMARK(BM_UpdatePeakMemory)
    ->Arg(10 * kYear)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(4);

// Choosing another graph to its first paint: from Wind to the argument's
// group, Temperature (indoor and channel 1) or Pressure with two full
// series, Rainfall with eight, against the floor's walk. The way back to
// Wind is not timed.
void BM_SwitchGraph(benchmark::State& state) {
    Store& s = StoreOf(kYear);
    Browser b(s);
    double pause = 0;
    b.UpdateMs(pause);
    auto* graphs = b.dlg.findChild<QComboBox*>("idc_1158");
    const int wind = graphs->findData(static_cast<int>(Graph::Wind));
    const int other = graphs->findData(static_cast<int>(state.range(0)));
    double ratios = 0;
    for (auto _ : state) {
        graphs->setCurrentIndex(wind);
        b.ChartMs();
        const double floor = FloorWalkMs(s);
        const auto t0 = Clock::now();
        graphs->setCurrentIndex(other);
        b.ChartMs();
        const double ms = Millis(Clock::now() - t0);
        state.SetIterationTime(ms / 1000);
        ratios += ms / floor;
    }
    state.counters["x_floor"] = ratios / static_cast<double>(state.iterations());
}
BENCHMARK(BM_SwitchGraph)
    ->Arg(static_cast<int>(Graph::Temperature))
    ->Arg(static_cast<int>(Graph::Pressure))
    ->Arg(static_cast<int>(Graph::Rainfall))
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(10);

// Scrolling the list a page at a time: the cells formatted for each page
// against the cells in sight.
void BM_ScrollTable(benchmark::State& state) {
    Store& s = StoreOf(kYear);
    Browser b(s);
    b.dlg.SelectMode(VIEW_LIST);
    double pause = 0;
    b.UpdateMs(pause);
    auto counting = std::make_shared<CountingSource>(b.dlg.SharedTable());
    b.dlg.Model().SetTable(counting);
    QImage image(b.list->size(), QImage::Format_RGB32);
    QScrollBar* bar = b.list->verticalScrollBar();
    long long most = 0;
    for (auto _ : state) {
        counting->cells = 0;
        bar->setValue((bar->value() + bar->pageStep()) % bar->maximum());
        b.list->render(&image);
        most = std::max(most, counting->cells);
    }
    const int rowsInSight =
        b.list->viewport()->height() / b.list->verticalHeader()->defaultSectionSize() + 1;
    int columnsInSight = 0;
    for (int c = 0; c < b.dlg.Table().ColumnCount(); ++c)
        columnsInSight +=
            b.list->horizontalHeader()->sectionViewportPosition(c) < b.list->viewport()->width();
    state.counters["cells_per_page_max"] = static_cast<double>(most);
    state.counters["cells_in_sight"] = rowsInSight * columnsInSight;
    state.counters["rows"] = b.dlg.Table().RowCount();
}
BENCHMARK(BM_ScrollTable)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
