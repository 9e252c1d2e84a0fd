#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>

#include "HistoryFill.h"
#include "HistorySummary.h"
#include "RecordingMessages.h"
#include "StringTable.h"
#include "SummaryAggregates.h"
#include "SummaryTable.h"
#include "TempDir.h"

namespace nimbary {
namespace {

using testing::At;
using testing::RecordingMessages;
using testing::TempDir;

constexpr uint32_t kDev = 0x0BADCAFE;

// A record at station time t with only what `fill` sets.
HistoryRecord Rec(uint32_t t, const std::function<void(HistoryRecord&)>& fill = {}) {
    HistoryRecord r;
    r.DevID = kDev;
    r.RecTime = StationTimeToOleDate(t);
    if (fill) fill(r);
    return r;
}

// Every `step` seconds from `from` up to (not including) `to`.
std::vector<uint32_t> Times(uint32_t from, uint32_t to, uint32_t step = 300) {
    std::vector<uint32_t> t;
    for (uint32_t x = from; x < to; x += step) t.push_back(x);
    return t;
}

class SummaryTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(db_.Open(dir_.File("Nimbary.db")), 0); }

    void Store(const std::vector<HistoryRecord>& records) {
        ASSERT_EQ(testing::SaveAll(db_, kDev, records), 0);
    }
    void Store(const std::vector<uint32_t>& times,
               const std::function<void(HistoryRecord&, int)>& fill) {
        std::vector<HistoryRecord> records;
        for (size_t i = 0; i < times.size(); ++i)
            records.push_back(
                Rec(times[i], [&](HistoryRecord& r) { fill(r, static_cast<int>(i)); }));
        Store(records);
    }

    // The summaries of [from, to] (station seconds, both included).
    std::vector<PeriodSummary> Sum(SummaryPeriod period, uint32_t from, uint32_t to,
                                   bool openStart = false, bool openEnd = false) {
        SummaryRequest q;
        q.devId = kDev;
        q.period = period;
        q.start = StationTimeToOleDate(from);
        q.end = StationTimeToOleDate(to);
        q.openStart = openStart;
        q.openEnd = openEnd;
        std::vector<PeriodSummary> out;
        EXPECT_EQ(Summarize(db_, q, out), 0);
        return out;
    }

    TempDir dir_;
    RecordingMessages messages_;
    HistoryDb db_{&messages_};
};

TEST_F(SummaryTest, ExtremesWithTheirFirstTimesAndMeans) {
    const uint32_t day = At(2024, 3, 5);
    Store(Times(day, day + 86400), [](HistoryRecord& r, int i) {
        r.ChTemp[0] = 40.0 + i * 0.1;  // rising all day
        r.InTemp = 70.0 - (i % 2);     // 69 and 70 alternately: the first of each wins
        r.InHumi = i == 100 ? 20 : i == 200 || i == 201 ? 90 : 50;
        r.AbsBaro = 1000.0 + (i == 7 ? 25.0 : 0.0);
        r.Wind = i == 150 ? 9.5 : 2.0;
        r.Gust = i == 150 ? 14.0 : 3.0;
        r.WindDir = i == 150 ? 271 : 90;
        r.ChTemp[4] = 30.0;  // a fifth channel, always the same
    });
    const auto s = Sum(SummaryPeriod::Day, day, day + 86399);
    ASSERT_EQ(s.size(), 1u);
    const PeriodSummary& p = s[0];
    struct Case {
        int field;
        double min;
        uint32_t minAt;
        double max;
        uint32_t maxAt;
        double mean;
    } cases[] = {
        {2, 40.0, day, 40.0 + 287 * 0.1, day + 287 * 300, 40.0 + 143.5 * 0.1},
        {0, 69.0, day + 300, 70.0, day, 69.5},
        {1, 20, day + 100 * 300, 90, day + 200 * 300, (50.0 * 285 + 20 + 90 + 90) / 288},
        {34, 1000.0, day, 1025.0, day + 7 * 300, 1000.0 + 25.0 / 288},
        {kStatWind, 2.0, day, 9.5, day + 150 * 300, (2.0 * 287 + 9.5) / 288},
        {6, 30.0, day, 30.0, day, 30.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        const FieldSummary& f = p.fields[c.field];
        EXPECT_EQ(f.count, 288);
        EXPECT_NEAR(f.min.value, c.min, 1e-9);
        EXPECT_EQ(f.min.time, c.minAt);
        EXPECT_NEAR(f.max.value, c.max, 1e-9);
        EXPECT_EQ(f.max.time, c.maxAt);
        EXPECT_NEAR(f.Mean(), c.mean, 1e-9);
    }
    EXPECT_EQ(p.fields[kStatWind].max.direction, 271);
    EXPECT_EQ(p.fields[kStatGust].max.direction, 271);
    EXPECT_EQ(p.fields[10].stored, 0);  // no channel 1 humidity
    EXPECT_EQ(p.rainReadings, 0);
    text::SetLanguage(text::Language::English);
    const SummaryTable table(SummaryPeriod::Day, s, UnitSet{});
    std::vector<std::string> headers;
    for (int c = 0; c < table.ColumnCount(); ++c) headers.push_back(table.HeaderText(c));
    EXPECT_NE(std::find(headers.begin(), headers.end(), "Channel 5 Temperature Mean(°C)"),
              headers.end());
}

TEST_F(SummaryTest, RainAcrossAResetAndAMonthBoundary) {
    // Hourly readings of the rain-total counter from Jan 31 20:00 to Feb 1
    // 10:00: a rise at midnight, a reset at 02:00, an invalid reading at 05:00.
    const double counter[] = {10.0, 10.0,        10.4, 10.4, 11.0, 11.2, 0.0, 0.5,
                              0.5,  VAL_INVALID, 0.8,  0.8,  0.8,  0.8,  1.0};
    const uint32_t first = At(2024, 1, 31, 20);
    Store(Times(first, first + 15 * 3600, 3600),
          [&](HistoryRecord& r, int i) { r.Rain[RAIN_TOTAL] = counter[i]; });

    const auto days = Sum(SummaryPeriod::Day, At(2024, 1, 31), At(2024, 2, 1, 23, 59, 59));
    ASSERT_EQ(days.size(), 2u);
    EXPECT_NEAR(days[0].rain, 0.4, 1e-9);
    EXPECT_NEAR(days[1].rain, 0.6 + 0.2 + 0.5 + 0.3 + 0.2, 1e-9);
    EXPECT_NEAR(days[1].rainHour.value, 0.6, 1e-9);  // the rise to 00:00
    EXPECT_EQ(days[1].rainHour.time, At(2024, 2, 1, 0));
    EXPECT_EQ(days[1].rainReadings, 10);  // the invalid one is no reading

    const auto months = Sum(SummaryPeriod::Month, At(2024, 1, 1), At(2024, 2, 29, 23, 59, 59));
    ASSERT_EQ(months.size(), 2u);
    EXPECT_NEAR(months[0].rain, 0.4, 1e-9);
    EXPECT_NEAR(months[1].rain, 1.8, 1e-9);

    // A range from midnight still counts the rise since the reading before it.
    const auto feb = Sum(SummaryPeriod::Month, At(2024, 2, 1), At(2024, 2, 29, 23, 59, 59));
    ASSERT_EQ(feb.size(), 1u);
    EXPECT_NEAR(feb[0].rain, 1.8, 1e-9);
    const auto year = Sum(SummaryPeriod::Year, At(2024, 1, 1), At(2024, 12, 31, 23, 59, 59));
    ASSERT_EQ(year.size(), 1u);
    EXPECT_NEAR(year[0].rain, 2.2, 1e-9);
    EXPECT_NEAR(year[0].rainHour.value, 0.6, 1e-9);
}

TEST_F(SummaryTest, ADayOfSentinelsHasNoExtremeAndLeavesTheMonthAlone) {
    const uint32_t bad = At(2024, 5, 1), good = At(2024, 5, 2);
    Store(Times(bad, good), [](HistoryRecord& r, int i) {
        r.ChTemp[0] = i % 3 == 0 ? VAL_INVALID : i % 3 == 1 ? VAL_LOW : VAL_HIGH;
        r.ChHumi[0] = 8388606;  // the station's other "no reading" code
        r.Wind = VAL_INVALID;
        r.WindDir = VAL_INVALID;
    });
    Store(Times(good, good + 86400), [](HistoryRecord& r, int i) {
        r.ChTemp[0] = 55.0 + (i % 2);
        r.ChHumi[0] = 60;
        r.Wind = 1.0;
        r.WindDir = 180;
    });
    const auto days = Sum(SummaryPeriod::Day, bad, good + 86399);
    ASSERT_EQ(days.size(), 2u);
    for (int field : {2, 10, kStatWind}) {  // Ch1Temp, Ch1Humi, Wind
        EXPECT_EQ(days[0].fields[field].stored, 288) << field;
        EXPECT_EQ(days[0].fields[field].count, 0) << field;
        EXPECT_FALSE(days[0].fields[field].min.Valid()) << field;
        EXPECT_EQ(days[0].fields[field].Mean(), VAL_ABSENT) << field;
    }
    EXPECT_EQ(days[0].degreeDays, 0);
    EXPECT_EQ(days[0].DominantPoint(), -1);

    const auto month = Sum(SummaryPeriod::Month, bad, good + 86399);
    ASSERT_EQ(month.size(), 1u);
    EXPECT_EQ(month[0].fields[2].max.value, 56.0);
    EXPECT_EQ(month[0].fields[2].min.value, 55.0);
    EXPECT_NEAR(month[0].fields[2].Mean(), 55.5, 1e-9);
    EXPECT_EQ(month[0].degreeDays, 1);

    // The table shows the quantity had no reading that day, not that it is missing.
    text::SetLanguage(text::Language::English);
    const SummaryTable table(SummaryPeriod::Day, days, UnitSet{});
    std::map<std::string, std::string> cells;
    for (int c = 0; c < table.ColumnCount(); ++c) cells[table.HeaderText(c)] = table.CellText(0, c);
    EXPECT_EQ(cells["Out Temp. Max(°C)"], "--.-");
    EXPECT_EQ(cells["Out Temp. Max Time"], "");
    EXPECT_EQ(cells["Out Humi. Mean(%)"], "--");
    EXPECT_EQ(cells["Wind Max(m/s)"], "--.-");
    EXPECT_EQ(cells["Dominant Direction"], "--");
    EXPECT_EQ(cells["Heating Degree Days(°C)"], "--.-");
}

TEST_F(SummaryTest, CoverageCountsTheRecordsTheIntervalExpects) {
    const uint32_t d = At(2024, 7, 10), next = d + 86400;
    auto without = [](std::vector<uint32_t> t, uint32_t from, uint32_t to) {
        t.erase(std::remove_if(t.begin(), t.end(), [&](uint32_t x) { return x >= from && x < to; }),
                t.end());
        return t;
    };
    auto join = [](std::vector<uint32_t> a, const std::vector<uint32_t>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    struct Case {
        const char* name;
        std::vector<uint32_t> times;
        bool openStart, openEnd;
        int present, expected;
    } cases[] = {
        {"whole day", Times(d, next), false, false, 288, 288},
        {"two hours missing", without(Times(d, next), d + 10 * 3600, d + 12 * 3600), false, false,
         264, 288},
        {"starts at 06:00", Times(d + 6 * 3600, next), false, false, 216, 288},
        {"starts at 06:00, open start", Times(d + 6 * 3600, next), true, false, 216, 216},
        {"ends at 18:00", Times(d, d + 18 * 3600 + 1), false, false, 217, 288},
        {"ends at 18:00, open end", Times(d, d + 18 * 3600 + 1), false, true, 217, 217},
        {"every 10 minutes from noon",
         join(Times(d, d + 12 * 3600), Times(d + 12 * 3600, next, 600)), false, false, 216, 216},
        {"every 5 minutes from noon",
         join(Times(d, d + 12 * 3600, 600), Times(d + 12 * 3600, next)), false, false, 216, 216},
        {"every 16 seconds", Times(d, next, 16), false, false, 5400, 5400},
        {"a record stored twice", join(Times(d, next), {d + 600}), false, false, 288, 288},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        HistoryDb db(&messages_);
        ASSERT_EQ(db.Open(dir.File("Nimbary.db")), 0);
        std::vector<HistoryRecord> records;
        for (uint32_t t : c.times)
            records.push_back(Rec(t, [](HistoryRecord& r) { r.InTemp = 70; }));
        ASSERT_EQ(testing::SaveAll(db, kDev, records), 0);
        SummaryRequest q;
        q.devId = kDev;
        q.start = StationTimeToOleDate(d);
        q.end = StationTimeToOleDate(next - 1);
        q.openStart = c.openStart;
        q.openEnd = c.openEnd;
        std::vector<PeriodSummary> s;
        ASSERT_EQ(Summarize(db, q, s), 0);
        ASSERT_EQ(s.size(), 1u);
        EXPECT_EQ(s[0].present, c.present);
        EXPECT_EQ(s[0].expected, c.expected);
        EXPECT_EQ(s[0].records, static_cast<int>(c.times.size()));
    }
}

TEST_F(SummaryTest, AMonthExpectsItsDaysWithoutRecordsAndALoneRecordTakesItsNeighboursInterval) {
    const uint32_t d1 = At(2024, 9, 1), d3 = At(2024, 9, 3), d4 = At(2024, 9, 4);
    std::vector<uint32_t> t = Times(d1, d1 + 86400);
    t.push_back(d3 + 12 * 3600);  // one record on the 3rd; none on the 2nd
    for (uint32_t x : Times(d4, d4 + 86400)) t.push_back(x);
    Store(t, [](HistoryRecord& r, int) { r.InTemp = 70; });
    const auto days = Sum(SummaryPeriod::Day, d1, d4 + 86399);
    ASSERT_EQ(days.size(), 3u);
    EXPECT_EQ(days[1].present, 1);
    EXPECT_EQ(days[1].expected, 288);
    const auto month = Sum(SummaryPeriod::Month, d1, d4 + 86399);
    ASSERT_EQ(month.size(), 1u);
    EXPECT_EQ(month[0].present, 288 + 1 + 288);
    EXPECT_EQ(month[0].expected, 4 * 288);
    // The month up to its end: 30 days expected.
    const auto whole = Sum(SummaryPeriod::Month, d1, At(2024, 9, 30, 23, 59, 59));
    EXPECT_EQ(whole[0].expected, 30 * 288);
}

TEST(SummaryInterval, ASpacingLongerThanBothNeighboursIsAGap) {
    struct Case {
        int64_t before, s, after, interval;
    } cases[] = {
        {300, 300, 300, 300}, {300, 1500, 300, 300}, {300, 600, 600, 600}, {600, 600, 300, 600},
        {0, 1500, 300, 300},  {300, 1500, 0, 300},   {0, 900, 0, 900},     {600, 300, 600, 300},
    };
    for (const Case& c : cases)
        EXPECT_EQ(summary::IntervalAcross(c.before, c.s, c.after), c.interval)
            << c.before << " " << c.s << " " << c.after;
}

TEST_F(SummaryTest, TheDominantDirectionIsTheCompassPointWithTheMostWind) {
    const uint32_t d = At(2024, 2, 10);
    struct Reading {
        int32_t dir;
        double speed;
        int count;
    } readings[] = {
        {0, 1.0, 20},            // N: 20
        {270, 8.0, 5},           // W: 40
        {10, 2.0, 5},            // N again: 30 in all
        {VAL_INVALID, 30.0, 3},  // no direction: not counted
        {90, 0.0, 50},           // calm from the east: no weight
    };
    std::vector<HistoryRecord> records;
    uint32_t t = d;
    for (const Reading& r : readings)
        for (int i = 0; i < r.count; ++i, t += 300)
            records.push_back(Rec(t, [&](HistoryRecord& h) {
                h.WindDir = r.dir;
                h.Wind = r.speed;
            }));
    Store(records);
    const auto s = Sum(SummaryPeriod::Day, d, d + 86399);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].DominantPoint(), 12);  // W
    EXPECT_NEAR(s[0].compass[0], 30.0, 1e-9);

    struct Point {
        int32_t degrees;
        int point;
    } points[] = {{0, 0}, {11, 0}, {12, 1}, {45, 2}, {180, 8}, {348, 15}, {349, 0}, {359, 0}};
    for (const Point& p : points) EXPECT_EQ(CompassPoint(p.degrees), p.point) << p.degrees;
    EXPECT_STREQ(CompassPointName(1), "NNE");
    EXPECT_STREQ(CompassPointName(15), "NNW");
}

TEST_F(SummaryTest, DegreeDaysComeFromEachDaysMeanOutdoorTemperature) {
    // Daily means of 50 °F (15 heating degree days), 65 °F (none), 80 °F (15
    // cooling) and 60 °F from a day of 40 and 80 (5 heating).
    const uint32_t d = At(2024, 4, 1);
    Store(Times(d, d + 4 * 86400), [&](HistoryRecord& r, int i) {
        const int day = i / 288;
        r.ChTemp[0] = day == 0 ? 50.0 : day == 1 ? 65.0 : day == 2 ? 80.0 : (i % 2 ? 40.0 : 80.0);
    });
    const auto days = Sum(SummaryPeriod::Day, d, d + 4 * 86400 - 1);
    ASSERT_EQ(days.size(), 4u);
    const double heating[] = {15, 0, 0, 5}, cooling[] = {0, 0, 15, 0};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(days[i].heating, heating[i], 1e-9) << i;
        EXPECT_NEAR(days[i].cooling, cooling[i], 1e-9) << i;
    }
    const auto month = Sum(SummaryPeriod::Month, d, d + 4 * 86400 - 1);
    ASSERT_EQ(month.size(), 1u);
    EXPECT_EQ(month[0].degreeDays, 4);
    EXPECT_NEAR(month[0].heating, 20.0, 1e-9);
    EXPECT_NEAR(month[0].cooling, 15.0, 1e-9);
    EXPECT_EQ(FormatDegreeDays(month[0].heating, UnitSet{}), "11.1");  // °C days
    EXPECT_EQ(FormatDegreeDays(month[0].heating, UnitSet{TEMP_F}), "20.0");
}

// The query runs on the day index, in time order, without a sort; a file
// without the index (one only read) gives the same summaries from a sort.
TEST_F(SummaryTest, TheQueryWalksTheDayIndexAndAFileWithoutItAgrees) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(db_.Path().c_str(), &raw), SQLITE_OK);
    summary::RegisterFunctions(raw);
    sqlite3_stmt* plan = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(raw, ("EXPLAIN QUERY PLAN " + summary::DayQuery()).c_str(), -1,
                                 &plan, nullptr),
              SQLITE_OK);
    std::string steps;
    while (sqlite3_step(plan) == SQLITE_ROW)
        steps += reinterpret_cast<const char*>(sqlite3_column_text(plan, 3)) + std::string("\n");
    sqlite3_finalize(plan);
    EXPECT_NE(steps.find("USING INDEX RecordByDevDay"), std::string::npos) << steps;
    EXPECT_EQ(steps.find("TEMP B-TREE"), std::string::npos) << steps;

    // Records of a week stored in a shuffled order, so a sort by day alone
    // would not put each day's records in time order.
    std::vector<HistoryRecord> records;
    const uint32_t d = At(2024, 10, 1);
    for (uint32_t t : Times(d, d + 7 * 86400))
        records.push_back(Rec(t, [&](HistoryRecord& r) {
            const int i = static_cast<int>((t - d) / 300);
            r.ChTemp[0] = 50.0 + (i * 37 % 101) * 0.1;
            r.Rain[RAIN_TOTAL] = (i / 5) * 0.1 - (i > 1000 ? 100.0 : 0.0);
            r.Wind = (i % 13) * 0.5;
            r.WindDir = i * 29 % 360;
        }));
    std::shuffle(records.begin(), records.end(), std::mt19937(7));
    Store(records);
    const auto indexed = Sum(SummaryPeriod::Day, d, d + 7 * 86400 - 1);
    ASSERT_EQ(sqlite3_exec(raw, "DROP INDEX RecordByDevDay", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(raw);
    db_.Close();
    ASSERT_EQ(db_.Open(dir_.File("Nimbary.db"), HistoryDb::OpenMode::ReadOnly), 0);
    const auto sorted = Sum(SummaryPeriod::Day, d, d + 7 * 86400 - 1);
    ASSERT_EQ(indexed.size(), 7u);
    ASSERT_EQ(sorted.size(), 7u);
    for (size_t i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(indexed[i].rain, sorted[i].rain, 1e-9);
        EXPECT_GT(indexed[i].rain, 0.0);
        EXPECT_EQ(indexed[i].rainHour.time, sorted[i].rainHour.time);
        EXPECT_EQ(indexed[i].expected, sorted[i].expected);
        EXPECT_EQ(indexed[i].expected, 288);
        EXPECT_EQ(indexed[i].fields[2].max.time, sorted[i].fields[2].max.time);
        EXPECT_EQ(indexed[i].fields[2].min.time, sorted[i].fields[2].min.time);
        EXPECT_EQ(indexed[i].DominantPoint(), sorted[i].DominantPoint());
    }
}

TEST_F(SummaryTest, NoRecordsNoPeriodsAndAFailingDatabaseSaysSo) {
    EXPECT_TRUE(Sum(SummaryPeriod::Year, At(2024, 1, 1), At(2024, 12, 31)).empty());
    db_.Close();
    SummaryRequest q;
    std::vector<PeriodSummary> out;
    EXPECT_EQ(Summarize(db_, q, out), 1);
    EXPECT_FALSE(messages_.texts.empty());
}

}  // namespace
}  // namespace nimbary
