#include "SummaryAggregates.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>
#include <vector>

#include "HistoryDb.h"
#include "HistorySummary.h"
#include "Units.h"

namespace nimbary::summary {

namespace {

constexpr double kOleDay2000 = 36526.0;

// A reading: a number below VAL_INVALID (NULL and the sentinels are none).
bool Reading(sqlite3_value* v, double& out) {
    const int type = sqlite3_value_type(v);
    if (type != SQLITE_FLOAT && type != SQLITE_INTEGER) return false;
    out = sqlite3_value_double(v);
    return out < VAL_INVALID;
}

uint32_t StationSeconds(double oleDate) {
    const double s = std::round((oleDate - kOleDay2000) * 86400.0);
    return s <= 0 ? 0u : s >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(s);
}

template <class Part>
void ResultBlob(sqlite3_context* ctx, const Part& part) {
    sqlite3_result_blob(ctx, &part, sizeof part, SQLITE_TRANSIENT);
}

// --- summary_stats -------------------------------------------------------

// One call a row for all the fields: SQLite's cost of an aggregate call is
// paid once, not once a field (most of them the NULLs of unfitted channels).
void StatsStep(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    auto* parts = static_cast<StatPart*>(sqlite3_aggregate_context(ctx, sizeof(StatParts)));
    if (!parts) return sqlite3_result_error_nomem(ctx);
    const double t = sqlite3_value_double(argv[0]);
    for (int f = 0; f + 2 < argc && f < kStatFields; ++f) {
        sqlite3_value* arg = argv[2 + f];
        if (sqlite3_value_type(arg) == SQLITE_NULL) continue;
        StatPart* p = parts + f;
        ++p->stored;
        double v;
        if (!Reading(arg, v)) continue;
        const bool first = p->count++ == 0;
        p->sum += v;
        if (first || v < p->min || (v == p->min && t < p->minTime)) {
            p->min = v;
            p->minTime = t;
        }
        if (first || v > p->max || (v == p->max && t < p->maxTime)) {
            p->max = v;
            p->maxTime = t;
            // A direction that is a sentinel stays one, to be shown as such.
            p->maxDirection = sqlite3_value_type(argv[1]) != SQLITE_NULL
                                  ? sqlite3_value_int64(argv[1])
                                  : VAL_ABSENT;
        }
    }
}

void StatsFinal(sqlite3_context* ctx) {
    auto* parts = static_cast<StatParts*>(sqlite3_aggregate_context(ctx, 0));
    if (parts) ResultBlob(ctx, *parts);
}

// --- summary_compass -----------------------------------------------------

void CompassStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    double dir, speed;
    if (!Reading(argv[0], dir) || !Reading(argv[1], speed) || dir < 0 || dir >= 360 || speed <= 0)
        return;
    auto* p = static_cast<CompassPart*>(sqlite3_aggregate_context(ctx, sizeof(CompassPart)));
    if (!p) return sqlite3_result_error_nomem(ctx);
    p->points[CompassPoint(static_cast<int32_t>(dir))] += speed;
}

void CompassFinal(sqlite3_context* ctx) {
    auto* p = static_cast<CompassPart*>(sqlite3_aggregate_context(ctx, 0));
    if (p) ResultBlob(ctx, *p);
}

// --- summary_rain and summary_slots: the day's values in time order -------

// SQLite's aggregate context is plain memory: it holds a pointer to the
// collected values, which the final call (run on a reset too) frees.
template <class T>
bool Collect(sqlite3_context* ctx, T value) {
    auto* slot = static_cast<std::vector<T>**>(sqlite3_aggregate_context(ctx, sizeof(void*)));
    if (!slot) return false;
    try {  // no exception may cross SQLite's C frames
        if (!*slot) *slot = new std::vector<T>();
        (*slot)->push_back(value);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// Takes the collected values out of the context, sorted by time; the rows
// arrive in time order through the index, but a file without it sorts here.
template <class T>
std::vector<T> TakeSorted(sqlite3_context* ctx) {
    auto* slot = static_cast<std::vector<T>**>(sqlite3_aggregate_context(ctx, 0));
    std::vector<T> values;
    if (!slot || !*slot) return values;
    values = std::move(**slot);
    delete *slot;
    *slot = nullptr;
    if (!std::is_sorted(values.begin(), values.end())) std::sort(values.begin(), values.end());
    return values;
}

using TimedValue = std::pair<uint32_t, double>;

void RainStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    double total;
    if (!Reading(argv[0], total)) return;
    if (!Collect(ctx, TimedValue{StationSeconds(sqlite3_value_double(argv[1])), total}))
        sqlite3_result_error_nomem(ctx);
}

void RainFinal(sqlite3_context* ctx) {
    const std::vector<TimedValue> readings = TakeSorted<TimedValue>(ctx);
    if (readings.empty()) return;
    RainPart p;
    p.count = static_cast<int64_t>(readings.size());
    p.firstTime = readings.front().first;
    p.first = readings.front().second;
    p.lastTime = readings.back().first;
    p.last = readings.back().second;
    for (size_t i = 1; i < readings.size(); ++i) {
        // A counter that falls back was reset: it starts afresh from there.
        const double rise = readings[i].second - readings[i - 1].second;
        if (rise > 0) p.hours[readings[i].first % 86400 / 3600] += rise;
    }
    ResultBlob(ctx, p);
}

void SlotsStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
    if (!Collect(ctx, StationSeconds(sqlite3_value_double(argv[0]))))
        sqlite3_result_error_nomem(ctx);
}

void SlotsFinal(sqlite3_context* ctx) {
    std::vector<uint32_t> times = TakeSorted<uint32_t>(ctx);
    if (times.empty()) return;
    times.erase(std::unique(times.begin(), times.end()), times.end());
    SlotPart p;
    p.present = static_cast<int64_t>(times.size());
    p.firstTime = times.front();
    p.lastTime = times.back();
    const size_t n = times.size();
    auto spacing = [&](size_t i) -> int64_t {  // before record i; 0 outside
        return i >= 1 && i < n ? static_cast<int64_t>(times[i]) - times[i - 1] : 0;
    };
    for (size_t i = 1; i < n; ++i) {
        const int64_t s = spacing(i);
        const int64_t interval = IntervalAcross(spacing(i - 1), s, spacing(i + 1));
        p.missing += std::max<int64_t>(0, std::llround(static_cast<double>(s) / interval) - 1);
        if (i == 1) p.firstInterval = interval;
        p.lastInterval = interval;
    }
    ResultBlob(ctx, p);
}

}  // namespace

std::string DayQuery() {
    const std::vector<std::string>& columns = RecordColumnNames();
    std::string sql = "SELECT CAST(RecTime AS INTEGER), count(*), summary_stats(RecTime, WindDir";
    for (int m = 0; m < kStatFields; ++m) sql += ", " + columns[2 + m];
    sql +=
        "), summary_compass(WindDir, Wind), summary_rain(Rain8, RecTime), summary_slots(RecTime)"
        " FROM Record WHERE DevID = ?1 AND CAST(RecTime AS INTEGER) BETWEEN ?2 AND ?3"
        " AND RecTime >= ?4 AND RecTime <= ?5 GROUP BY CAST(RecTime AS INTEGER)";
    return sql;
}

int64_t IntervalAcross(int64_t before, int64_t s, int64_t after) {
    const int64_t neighbour = std::max(before, after);
    return neighbour > 0 ? std::min(s, neighbour) : s;
}

int RegisterFunctions(sqlite3* db) {
    struct Function {
        const char* name;
        int args;
        void (*step)(sqlite3_context*, int, sqlite3_value**);
        void (*final)(sqlite3_context*);
    };
    static const Function kFunctions[] = {
        {"summary_stats", 2 + kStatFields, StatsStep, StatsFinal},
        {"summary_compass", 2, CompassStep, CompassFinal},
        {"summary_rain", 2, RainStep, RainFinal},
        {"summary_slots", 1, SlotsStep, SlotsFinal},
    };
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    for (const Function& f : kFunctions) {
        const int rc = sqlite3_create_function_v2(db, f.name, f.args, flags, nullptr, nullptr,
                                                  f.step, f.final, nullptr);
        if (rc != SQLITE_OK) return rc;
    }
    return SQLITE_OK;
}

}  // namespace nimbary::summary
