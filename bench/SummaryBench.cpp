#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QDateEdit>
#include <QImage>
#include <QTimeEdit>
#include <chrono>
#include <map>
#include <memory>

#include "CHistory.h"
#include "HistoryFill.h"
#include "HistorySummary.h"
#include "RecordTime.h"
#include "SaveDialog.h"
#include "SummaryTable.h"
#include "SummaryView.h"
#include "WeatherStore.h"

using namespace nimbary;
using namespace nimbary::testing;
using namespace nimbary::bench;

namespace {

// Records from 2023 on.
Store& StoreOf(int rows) {
    return bench::StoreOf(rows, At(2023, 1, 1));
}

// The floor: SQLite's own min(), max() and avg() of every column the
// summary reads, over the same rows, grouped by the same day on the same
// index; the rows are read and nothing else is done with them.
double FloorQuery(const Store& s) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(s.db.Path().c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    const std::vector<std::string>& columns = RecordColumnNames();
    std::string sql = "SELECT CAST(RecTime AS INTEGER), count(*)";
    for (int m = 0; m <= kStatFields; ++m)  // the measured fields and the direction
        for (const char* f : {"min", "max", "avg"})
            sql += std::string(", ") + f + "(" + columns[2 + m] + ")";
    sql +=
        ", min(Rain8), max(Rain8) FROM Record WHERE DevID = ?1"
        " AND CAST(RecTime AS INTEGER) BETWEEN ?2 AND ?3 AND RecTime >= ?4 AND RecTime <= ?5"
        " GROUP BY CAST(RecTime AS INTEGER)";
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
    sqlite3_bind_int(st, 1, static_cast<int32_t>(kDev));
    sqlite3_bind_int64(st, 2, static_cast<int64_t>(s.from));
    sqlite3_bind_int64(st, 3, static_cast<int64_t>(s.to));
    sqlite3_bind_double(st, 4, s.from - 1e-6);
    sqlite3_bind_double(st, 5, s.to + 1e-6);
    double sum = 0;
    const int n = sqlite3_column_count(st);
    while (sqlite3_step(st) == SQLITE_ROW)
        for (int c = 0; c < n; ++c) sum += sqlite3_column_double(st, c);
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
        benchmark::DoNotOptimize(FloorQuery(s));
        best = std::min(best, Millis(std::chrono::steady_clock::now() - t0));
    }
    return best;
}

void BM_SummaryFloor(benchmark::State& state) {
    Store& s = StoreOf(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(FloorQuery(s));
    state.counters["rows"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_SummaryFloor)
    ->Arg(kYear)
    ->Arg(10 * kYear)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Summarize over the whole store, by day for a year, by month for ten.
void BM_Summarize(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    const auto period = static_cast<SummaryPeriod>(state.range(1));
    Store& s = StoreOf(rows);
    const double floor = BestFloorMs(s);
    SummaryRequest request;
    request.devId = kDev;
    request.period = period;
    request.start = s.from;
    request.end = s.to;
    std::vector<PeriodSummary> periods;
    double total = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        if (Summarize(s.db, request, periods) != 0) state.SkipWithError("summary failed");
        total += Millis(std::chrono::steady_clock::now() - t0);
    }
    int records = 0;
    for (const PeriodSummary& p : periods) records += p.records;
    if (records != rows) state.SkipWithError("records missing");
    state.counters["periods"] = static_cast<double>(periods.size());
    state.counters["floor_ms"] = floor;
    state.counters["x_floor"] = total / state.iterations() / floor;
}
BENCHMARK(BM_Summarize)
    ->Args({kYear, static_cast<int>(SummaryPeriod::Day)})
    ->Args({10 * kYear, static_cast<int>(SummaryPeriod::Month)})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The Summary view of a year by day, from Update to its first paint: the
// query on the worker, the table and the chart made and drawn.
void BM_SummaryView(benchmark::State& state) {
    Store& s = StoreOf(kYear);
    const double floor = BestFloorMs(s);
    QtSaveDialog saves;
    CHistory dlg(s.db, s.messages, saves, kDev);
    QDate d;
    QTime t;
    OleDateToCalendar(s.from, d, t);
    dlg.findChild<QDateEdit*>("idc_1008")->setDate(d);
    dlg.findChild<QTimeEdit*>("idc_1006")->setTime(t);
    OleDateToCalendar(s.to, d, t);
    dlg.findChild<QDateEdit*>("idc_1009")->setDate(d);
    dlg.findChild<QTimeEdit*>("idc_1007")->setTime(t);
    dlg.show();
    dlg.SelectMode(VIEW_SUMMARY);
    QImage image(dlg.size(), QImage::Format_RGB32);
    double total = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        dlg.Update();
        dlg.render(&image);
        total += Millis(std::chrono::steady_clock::now() - t0);
        if (dlg.Summary().Table().RowCount() != 365) state.SkipWithError("days missing");
    }
    state.counters["floor_ms"] = floor;
    state.counters["x_floor"] = total / state.iterations() / floor;
}
BENCHMARK(BM_SummaryView)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

}  // namespace
