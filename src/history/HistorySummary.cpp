#include "HistorySummary.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "CalendarTime.h"
#include "HistoryDb.h"
#include "SummaryAggregates.h"

namespace nimbary {

namespace {

using summary::CompassPart;
using summary::RainPart;
using summary::SlotPart;
using summary::StatPart;

constexpr uint32_t kDay = 86400;

// One day's row of the summary query.
struct DayPart {
    int64_t day = 0;  // OLE day number
    int records = 0;
    summary::StatParts stats;
    CompassPart compass;
    RainPart rain;
    SlotPart slots;
    uint32_t Start() const {
        return static_cast<uint32_t>(std::clamp<int64_t>((day - 36526) * kDay, 0, 0xFFFFFFFFll));
    }
};

// The last reading of the rain counter before the range.
const char* const kRainBefore =
    "SELECT Rain8 FROM Record WHERE DevID = ?1 AND RecTime < ?2 AND Rain8 < 8388602"
    " ORDER BY RecTime DESC LIMIT 1";

template <class Part>
bool ReadBlob(sqlite3_stmt* s, int col, Part& out) {
    if (sqlite3_column_type(s, col) != SQLITE_BLOB ||
        sqlite3_column_bytes(s, col) != static_cast<int>(sizeof(Part)))
        return false;
    std::memcpy(&out, sqlite3_column_blob(s, col), sizeof(Part));
    return true;
}

uint32_t ToStation(double oleDate) {
    uint32_t t = 0;
    if (OleDateToStationTime(oleDate, t)) return t;
    return oleDate < 36526 ? 0u : 0xFFFFFFFFu;
}

Extreme MakeExtreme(double value, double oleTime, int32_t direction = VAL_ABSENT) {
    Extreme e;
    e.value = value;
    e.time = ToStation(oleTime);
    e.direction = direction;
    return e;
}

// Keeps the lower (or higher) extreme, the earlier on a tie.
void KeepMin(Extreme& into, const Extreme& e) {
    if (!e.Valid()) return;
    if (!into.Valid() || e.value < into.value || (e.value == into.value && e.time < into.time))
        into = e;
}
void KeepMax(Extreme& into, const Extreme& e) {
    if (!e.Valid()) return;
    if (!into.Valid() || e.value > into.value || (e.value == into.value && e.time < into.time))
        into = e;
}

void Merge(FieldSummary& into, const FieldSummary& f) {
    into.stored += f.stored;
    into.count += f.count;
    into.sum += f.sum;
    KeepMin(into.min, f.min);
    KeepMax(into.max, f.max);
}

FieldSummary FromPart(const StatPart& p) {
    FieldSummary f;
    f.stored = static_cast<int>(p.stored);
    f.count = static_cast<int>(p.count);
    f.sum = p.sum;
    if (p.count) {
        f.min = MakeExtreme(p.min, p.minTime);
        f.max = MakeExtreme(p.max, p.maxTime, static_cast<int32_t>(p.maxDirection));
    }
    return f;
}

// Records the interval expects in [from, to] after a record at `from`
// (or before one at `to`).
int SlotsWithin(int64_t span, int64_t interval) {
    return span > 0 && interval > 0 ? static_cast<int>(span / interval) : 0;
}

// A day of the summary, before the days are merged into periods, with
// what the merge needs of its records' times.
struct Day {
    PeriodSummary s;
    uint32_t firstTime = 0, lastTime = 0;
    int64_t firstInterval = 0, lastInterval = 0;
};

// The rain counter's last valid reading so far.
struct RainCounter {
    bool known = false;
    double last = 0;
};

int ReadDays(HistoryDb& db, const SummaryRequest& request, double lo, double hi,
             std::vector<DayPart>& parts) {
    static const std::string kDayQuery = summary::DayQuery();
    const int rc = db.BrowserQuery(
        kDayQuery,
        [&](sqlite3_stmt* s) {
            sqlite3_bind_int(s, 1, static_cast<int32_t>(request.devId));
            sqlite3_bind_int64(s, 2, static_cast<int64_t>(std::floor(lo)));
            sqlite3_bind_int64(s, 3, static_cast<int64_t>(std::floor(hi)));
            sqlite3_bind_double(s, 4, lo);
            sqlite3_bind_double(s, 5, hi);
        },
        [&](sqlite3_stmt* s) {
            DayPart d;
            d.day = sqlite3_column_int64(s, 0);
            d.records = sqlite3_column_int(s, 1);
            ReadBlob(s, 2, d.stats);
            ReadBlob(s, 3, d.compass);
            ReadBlob(s, 4, d.rain);
            ReadBlob(s, 5, d.slots);
            parts.push_back(d);
        });
    std::sort(parts.begin(), parts.end(),
              [](const DayPart& a, const DayPart& b) { return a.day < b.day; });
    return rc;
}

int ReadRainBefore(HistoryDb& db, uint32_t devId, double lo, RainCounter& counter) {
    return db.BrowserQuery(
        kRainBefore,
        [&](sqlite3_stmt* s) {
            sqlite3_bind_int(s, 1, static_cast<int32_t>(devId));
            sqlite3_bind_double(s, 2, lo);
        },
        [&](sqlite3_stmt* s) {
            counter.known = true;
            counter.last = sqlite3_column_double(s, 0);
        });
}

// A day from its query row, within [from, to]; `counter` carries the rain
// counter from the day before.
Day MakeDay(const DayPart& p, uint32_t from, uint32_t to, RainCounter& counter) {
    Day d;
    PeriodSummary& s = d.s;
    s.start = std::max(p.Start(), from);
    s.last = static_cast<uint32_t>(std::min<uint64_t>(uint64_t(p.Start()) + (kDay - 1), to));
    for (int m = 0; m < kStatFields; ++m) s.fields[m] = FromPart(p.stats[m]);
    std::copy(std::begin(p.compass.points), std::end(p.compass.points), s.compass.begin());
    if (p.rain.count > 0) {
        double hours[24];
        std::copy(std::begin(p.rain.hours), std::end(p.rain.hours), hours);
        // The rise up to the day's first reading belongs to the day.
        if (counter.known && p.rain.first > counter.last)
            hours[p.rain.firstTime % kDay / 3600] += p.rain.first - counter.last;
        counter = {true, p.rain.last};
        s.rainReadings = static_cast<int>(p.rain.count);
        s.rainHour = Extreme{0.0, 0, VAL_ABSENT};  // a dry day's
        for (int h = 0; h < 24; ++h) {
            s.rain += hours[h];
            if (hours[h] > 0)
                KeepMax(s.rainHour, Extreme{hours[h], p.Start() + h * 3600u, VAL_ABSENT});
        }
    }
    const FieldSummary& outdoor = s.fields[kOutdoorTemperatureField];
    if (outdoor.count) {
        const double mean = outdoor.Mean();
        s.degreeDays = 1;
        s.heating = std::max(0.0, kDegreeDayBase - mean);
        s.cooling = std::max(0.0, mean - kDegreeDayBase);
    }
    s.records = p.records;
    s.present = static_cast<int>(p.slots.present);
    s.expected = static_cast<int>(p.slots.present + p.slots.missing);
    d.firstTime = p.slots.firstTime;
    d.lastTime = p.slots.lastTime;
    d.firstInterval = p.slots.firstInterval;
    d.lastInterval = p.slots.lastInterval;
    return d;
}

// Each day's slots between its bounds and its first and last records; a
// day of one record takes the interval of the days around it.
void ExpectDayEnds(std::vector<Day>& days) {
    int64_t known = 0;
    for (Day& d : days) {
        if (d.firstInterval)
            known = d.lastInterval;
        else
            d.firstInterval = d.lastInterval = known;
    }
    known = 0;
    for (auto d = days.rbegin(); d != days.rend(); ++d) {
        if (d->firstInterval)
            known = d->firstInterval;
        else
            d->firstInterval = d->lastInterval = known;
    }
    for (Day& d : days)
        d.s.expected += SlotsWithin(int64_t(d.firstTime) - d.s.start, d.firstInterval) +
                        SlotsWithin(int64_t(d.s.last) - d.lastTime, d.lastInterval);
}

void Merge(PeriodSummary& into, const PeriodSummary& d) {
    for (int m = 0; m < kStatFields; ++m) Merge(into.fields[m], d.fields[m]);
    for (int c = 0; c < kCompassPoints; ++c) into.compass[c] += d.compass[c];
    into.rainReadings += d.rainReadings;
    into.rain += d.rain;
    KeepMax(into.rainHour, d.rainHour);
    into.degreeDays += d.degreeDays;
    into.heating += d.heating;
    into.cooling += d.cooling;
    into.records += d.records;
    into.present += d.present;
    into.expected += d.expected;
}

// Months or years of the days, within [from, to]; the days without a
// record are expected at the interval of the nearest day before them (else
// after).
std::vector<PeriodSummary> MergeDays(const std::vector<Day>& days, SummaryPeriod period,
                                     uint32_t from, uint32_t to) {
    std::vector<PeriodSummary> out;
    for (size_t i = 0; i < days.size();) {
        const uint64_t periodEnd = PeriodEnd(period, days[i].s.start);
        PeriodSummary p;
        p.start = std::max(PeriodStart(period, days[i].s.start), from);
        p.last = static_cast<uint32_t>(std::min<uint64_t>(periodEnd - 1, to));
        int64_t interval = i > 0 ? days[i - 1].lastInterval : days[i].firstInterval;
        uint64_t emptyFrom = p.start;  // the first second not yet accounted for
        for (; i < days.size() && days[i].s.start < periodEnd; ++i) {
            const PeriodSummary& d = days[i].s;
            const uint64_t dayStart = d.start / kDay * kDay;
            if (dayStart > emptyFrom)
                p.expected += SlotsWithin(int64_t(dayStart - emptyFrom),
                                          interval ? interval : days[i].firstInterval);
            emptyFrom = uint64_t(d.last) + 1;
            interval = days[i].lastInterval;
            Merge(p, d);
        }
        if (p.last >= emptyFrom)
            p.expected += SlotsWithin(int64_t(p.last - emptyFrom + 1), interval);
        out.push_back(p);
    }
    return out;
}

}  // namespace

const char* CompassPointName(int point) {
    static const char* const kNames[kCompassPoints] = {"N",  "NNE", "NE", "ENE", "E",  "ESE",
                                                       "SE", "SSE", "S",  "SSW", "SW", "WSW",
                                                       "W",  "WNW", "NW", "NNW"};
    return point >= 0 && point < kCompassPoints ? kNames[point] : "";
}

int CompassPoint(int32_t degrees) {
    // Each point is 22.5° wide, centred on its direction: N from 348.75 to 11.25.
    const int sixteenths =
        static_cast<int>(std::floor((degrees % 360 + 360) % 360 * 16.0 / 360.0 + 0.5));
    return sixteenths % kCompassPoints;
}

int PeriodSummary::DominantPoint() const {
    int best = -1;
    for (int p = 0; p < kCompassPoints; ++p)
        if (compass[p] > 0 && (best < 0 || compass[p] > compass[best])) best = p;
    return best;
}

uint32_t PeriodStart(SummaryPeriod period, uint32_t t) {
    CalendarTime c = CalendarTime::FromStationTime(t);
    c.Hour = c.Minute = c.Second = 0;
    if (period != SummaryPeriod::Day) c.Day = 1;
    if (period == SummaryPeriod::Year) c.Month = 1;
    uint32_t start = 0;
    c.ToStationTime(start);
    return start;
}

uint64_t PeriodEnd(SummaryPeriod period, uint32_t t) {
    if (period == SummaryPeriod::Day) return uint64_t(t / kDay) * kDay + kDay;
    CalendarTime c = CalendarTime::FromStationTime(PeriodStart(period, t));
    if (period == SummaryPeriod::Month && c.Month < 12) {
        ++c.Month;
    } else {
        ++c.Year;
        c.Month = 1;
    }
    uint32_t next = 0;
    // Past the last year of the 32-bit clock the period ends with the clock.
    return c.ToStationTime(next) ? next : uint64_t(0xFFFFFFFFu) + 1;
}

int Summarize(HistoryDb& db, const SummaryRequest& request, std::vector<PeriodSummary>& out) {
    out.clear();
    const double lo = RecTimeLowerBound(request.start), hi = RecTimeUpperBound(request.end);
    std::vector<DayPart> parts;
    if (ReadDays(db, request, lo, hi, parts) != 0) return 1;
    if (parts.empty()) return 0;
    // The rain counter just before the range, for the range's first rise.
    RainCounter counter;
    const bool rain =
        std::any_of(parts.begin(), parts.end(), [](const DayPart& d) { return d.rain.count > 0; });
    if (rain && ReadRainBefore(db, request.devId, lo, counter) != 0) return 1;

    // The range in station seconds: an open end stops at the records.
    const uint32_t from =
        request.openStart ? parts.front().slots.firstTime : ToStation(request.start);
    const uint32_t to = request.openEnd ? parts.back().slots.lastTime : ToStation(request.end);
    std::vector<Day> days;
    days.reserve(parts.size());
    for (const DayPart& p : parts) days.push_back(MakeDay(p, from, to, counter));
    ExpectDayEnds(days);

    if (request.period == SummaryPeriod::Day) {
        for (const Day& d : days) out.push_back(d.s);
    } else {
        out = MergeDays(days, request.period, from, to);
    }
    return 0;
}

}  // namespace nimbary
