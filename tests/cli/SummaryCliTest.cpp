// nimbary-cli summary and report over a simulated year, checked against
// the records as `nimbary-cli records` writes them, summed up here line by
// line with nothing of the summaries' own code.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

#include "CliProcess.h"
#include "Format.h"
#include "HistoryFill.h"
#include "RecordingMessages.h"
#include "SimulatedYear.h"
#include "TempDir.h"

using namespace nimbary;
using namespace nimbary::testing;

namespace {

constexpr uint32_t kDev = 0x5EA50001;
constexpr const char* kId = "5EA50001";
const UnitSet kStationUnits{TEMP_F, BARO_INHG, WIND_MPH, RAIN_IN};

std::vector<std::string> Split(const std::string& line, char sep) {
    std::vector<std::string> out;
    std::string cell;
    std::istringstream in(line);
    while (std::getline(in, cell, sep)) out.push_back(cell);
    if (!line.empty() && line.back() == sep) out.push_back("");
    return out;
}

// A table as text lines of `sep`-separated cells, the first line the header.
struct Table {
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
    int Column(const std::string& name) const {
        for (size_t c = 0; c < header.size(); ++c)
            if (header[c] == name) return static_cast<int>(c);
        return -1;
    }
};
Table Parse(const std::string& text, char sep) {
    Table t;
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);
    t.header = Split(line, sep);
    while (std::getline(in, line)) t.rows.push_back(Split(line, sep));
    return t;
}

// --- The independent computation ---------------------------------------------

struct Stat {
    int stored = 0, count = 0;
    double sum = 0, min = 0, max = 0;
    std::string minAt, maxAt;  // the first record's time text
    double maxDir = -1;
};

struct Period {
    int records = 0;
    std::map<std::string, Stat> stats;  // by column name
    double compass[16] = {};
    bool rained = false;  // has rain readings
    double rain = 0;
    std::map<std::string, double> hours;  // rain by hour start
    int degreeDays = 0;
    double heating = 0, cooling = 0;
};

const char* const kPoints[16] = {"N", "NNE", "NE", "ENE", "E", "ESE", "SE", "SSE",
                                 "S", "SSW", "SW", "WSW", "W", "WNW", "NW", "NNW"};
const char* const kStatColumns[] = {"InTemp",      "InHumi",  "Ch1Temp", "Ch1Humi", "Ch1DewPoint",
                                    "Ch1FeelLike", "AbsBaro", "RelBaro", "Wind",    "Gust"};

// Day, month or year key of an ISO time text "2023-06-15T14:35:00".
std::string Key(const std::string& time, size_t chars) {
    return time.substr(0, chars);
}

std::map<std::string, Period> Recompute(const Table& records, size_t keyChars) {
    std::map<std::string, Period> periods;
    const int timeCol = records.Column("RecTime"), rainCol = records.Column("Rain8");
    const int dirCol = records.Column("WindDir"), windCol = records.Column("Wind");
    bool havePrev = false;
    double prev = 0;
    std::map<std::string, Stat> dayTemp;  // outdoor temperature by day, for degree days
    for (const auto& row : records.rows) {
        const std::string& t = row[timeCol];
        Period& p = periods[Key(t, keyChars)];
        ++p.records;
        for (const char* name : kStatColumns) {
            const std::string& cell = row[records.Column(name)];
            if (cell.empty()) continue;
            Stat& s = p.stats[name];
            ++s.stored;
            const double v = std::stod(cell);
            if (v >= 8388602) continue;
            if (s.count == 0 || v < s.min) s.min = v, s.minAt = t;
            if (s.count == 0 || v > s.max) {
                s.max = v, s.maxAt = t;
                s.maxDir = row[dirCol].empty() ? -1 : std::stod(row[dirCol]);
            }
            ++s.count;
            s.sum += v;
            if (std::string(name) == "Ch1Temp") {
                Stat& d = dayTemp[Key(t, 10)];
                ++d.count;
                d.sum += v;
            }
        }
        if (!row[dirCol].empty() && !row[windCol].empty()) {
            const double dir = std::stod(row[dirCol]), speed = std::stod(row[windCol]);
            if (dir < 360 && speed < 8388602 && speed > 0)
                p.compass[static_cast<int>(dir / 22.5 + 0.5) % 16] += speed;
        }
        if (!row[rainCol].empty() && std::stod(row[rainCol]) < 8388602) {
            const double v = std::stod(row[rainCol]);
            p.rained = true;
            if (havePrev && v > prev) {
                p.rain += v - prev;
                p.hours[t.substr(0, 13)] += v - prev;
            }
            havePrev = true;
            prev = v;
        }
    }
    for (const auto& [day, d] : dayTemp) {
        if (!d.count) continue;
        Period& p = periods[Key(day, keyChars)];
        const double mean = d.sum / d.count;
        ++p.degreeDays;
        p.heating += std::max(0.0, 65 - mean);
        p.cooling += std::max(0.0, mean - 65);
    }
    return periods;
}

std::string Shown(const std::string& column, double v) {
    if (column.find("Humi") != std::string::npos)
        return FormatHumi(static_cast<int32_t>(std::lround(v)), FMT_VALUE, kStationUnits);
    if (column.find("Baro") != std::string::npos) return FormatBaro(v, FMT_VALUE, kStationUnits);
    if (column == "Wind" || column == "Gust") return FormatWind(v, FMT_VALUE, kStationUnits);
    return FormatTemp(v, FMT_VALUE, kStationUnits);
}

// The time as the summaries show it: "14:35" in a day, "2023-06-15 14:35" else.
std::string When(const std::string& iso, bool day) {
    return day ? iso.substr(11, 5) : iso.substr(0, 10) + " " + iso.substr(11, 5);
}

std::string DegreeDays(double f) {
    return FixedText(f, 1);  // the station counts in °F
}

std::string Dominant(const Period& p) {
    int best = -1;
    for (int k = 0; k < 16; ++k)
        if (p.compass[k] > 0 && (best < 0 || p.compass[k] > p.compass[best])) best = k;
    return best < 0 ? "--" : kPoints[best];
}

// The summary columns of a record column and what the recomputation says.
void ExpectStat(const Table& summary, const std::vector<std::string>& row,
                const std::string& header, const std::string& column, const Stat& s, bool day) {
    SCOPED_TRACE(header);
    auto cell = [&](const std::string& h) {
        const int c = summary.Column(h);
        EXPECT_GE(c, 0) << h;
        return c >= 0 ? row[c] : std::string("?");
    };
    const std::string unit = column.find("Humi") != std::string::npos   ? "(%)"
                             : column.find("Baro") != std::string::npos ? "(inHg)"
                             : column == "Wind" || column == "Gust"     ? "(mph)"
                                                                        : "(°F)";
    if (column != "Wind") {
        EXPECT_EQ(cell(header + " Max" + unit), Shown(column, s.max));
        EXPECT_EQ(cell(header + " Max Time"), When(s.maxAt, day));
    }
    if (column == "Gust") return;
    if (column == "Wind") {
        EXPECT_EQ(cell("Wind Max" + unit), Shown(column, s.max));
        EXPECT_EQ(cell("Wind Max Time"), When(s.maxAt, day));
        EXPECT_EQ(cell("Wind Max Direction"),
                  kPoints[static_cast<int>(s.maxDir / 22.5 + 0.5) % 16]);
    } else {
        EXPECT_EQ(cell(header + " Min" + unit), Shown(column, s.min));
        EXPECT_EQ(cell(header + " Min Time"), When(s.minAt, day));
    }
    EXPECT_EQ(cell(header + " Mean" + unit), Shown(column, s.sum / s.count));
}

class SummaryCliTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        RecordingMessages messages;
        HistoryDb db(&messages);
        ASSERT_EQ(db.Open(Db()), 0);
        db.Info().Units = kStationUnits;  // the units the station's row keeps
        ASSERT_EQ(SaveAll(db, kDev, SimulatedYear(kDev, 2023)), 0);
        CliProcess records({"records", "--db", Db(), "--station", kId});
        ASSERT_EQ(records.Wait(120000), 0) << records.Err();
        records_ = new Table(Parse(records.Out(), '\t'));
    }
    static void TearDownTestSuite() {
        delete records_;
        delete dir_;
    }
    static std::string Db() { return dir_->File("Nimbary.db"); }

    static Table Summary(const std::string& by) {
        CliProcess p({"summary", "--db", Db(), "--station", kId, "--by", by, "--format", "csv"});
        EXPECT_EQ(p.Wait(120000), 0) << p.Err();
        return Parse(p.Out(), ',');
    }

    static TempDir* dir_;
    static Table* records_;
};
TempDir* SummaryCliTest::dir_ = nullptr;
Table* SummaryCliTest::records_ = nullptr;

TEST_F(SummaryCliTest, DaysAndMonthsAgreeWithTheRecordsSummedUpOneByOne) {
    ASSERT_GT(records_->rows.size(), 100000u);
    const struct {
        const char* by;
        size_t keyChars;
        size_t periods;
    } kinds[] = {{"day", 10, 364}, {"month", 7, 12}, {"year", 4, 1}};
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.by);
        const bool day = kind.keyChars == 10;
        const std::map<std::string, Period> expected = Recompute(*records_, kind.keyChars);
        const Table summary = Summary(kind.by);
        ASSERT_EQ(summary.rows.size(), kind.periods);
        ASSERT_EQ(expected.size(), kind.periods);
        auto e = expected.begin();
        for (const auto& row : summary.rows) {
            const Period& p = e->second;
            SCOPED_TRACE(e->first);
            ASSERT_EQ(row[0], e->first);
            for (const char* column : kStatColumns) {
                static const std::map<std::string, std::string> kNames = {
                    {"InTemp", "In Temp."},
                    {"InHumi", "In Humi."},
                    {"Ch1Temp", "Out Temp."},
                    {"Ch1Humi", "Out Humi."},
                    {"Ch1DewPoint", "Out Dew"},
                    {"Ch1FeelLike", "Out Feel"},
                    {"AbsBaro", "ABS Pressure"},
                    {"RelBaro", "REL Pressure"},
                    {"Wind", "Wind"},
                    {"Gust", "Gust"}};
                ExpectStat(summary, row, kNames.at(column), column, p.stats.at(column), day);
            }
            EXPECT_EQ(row[summary.Column("Dominant Direction")], Dominant(p));
            EXPECT_EQ(row[summary.Column("Rainfall(in)")],
                      FormatRain(p.rain, FMT_VALUE, kStationUnits));
            // The wettest hour; of hours that differ by rounding alone, either.
            double wettest = 0;
            for (const auto& [hour, mm] : p.hours) wettest = std::max(wettest, mm);
            EXPECT_EQ(row[summary.Column("Rain Rate Max(in)/h")],
                      FormatRain(wettest, FMT_VALUE, kStationUnits));
            const std::string at = row[summary.Column("Rain Rate Max Time")];
            bool wettestHour = wettest == 0 && at.empty();
            for (const auto& [hour, mm] : p.hours)
                wettestHour =
                    wettestHour || (mm > wettest - 1e-9 && at == When(hour + ":00:00", day));
            EXPECT_TRUE(wettestHour) << at;
            EXPECT_EQ(row[summary.Column("Heating Degree Days(°F)")], DegreeDays(p.heating));
            EXPECT_EQ(row[summary.Column("Cooling Degree Days(°F)")], DegreeDays(p.cooling));
            ++e;
        }
    }
}

// What the simulated station recorded is known: 5-minute records, a week
// of 10-minute ones from day 200, an afternoon missing on day 40, day 100
// missing whole.
TEST_F(SummaryCliTest, CoverageIsWhatTheSimulatedStationRecorded) {
    const Table days = Summary("day");
    const int records = days.Column("Records"), expected = days.Column("Expected");
    CalendarTime c;
    c.Year = 2023;
    uint32_t jan1 = 0;
    c.ToStationTime(jan1);
    std::map<std::string, int> dayOfYear;
    for (int d = 0; d < 365; ++d) {
        const CalendarTime x = CalendarTime::FromStationTime(jan1 + d * 86400);
        char key[16];
        std::snprintf(key, sizeof key, "%04d-%02d-%02d", x.Year, x.Month, x.Day);
        dayOfYear[key] = d;
    }
    for (const auto& row : days.rows) {
        const int d = dayOfYear.at(row[0]);
        SCOPED_TRACE(row[0]);
        const int slots = d >= 200 && d < 207 ? 144 : 288;
        EXPECT_EQ(row[expected], std::to_string(slots));
        EXPECT_EQ(row[records], std::to_string(d == 40 ? slots - 72 : slots));
    }
    const Table months = Summary("month");
    EXPECT_EQ(months.rows[3][0], "2023-04");
    EXPECT_EQ(months.rows[3][expected], std::to_string(30 * 288));
    EXPECT_EQ(months.rows[3][records], std::to_string(29 * 288));
    const Table year = Summary("year");
    EXPECT_EQ(year.rows[0][expected], std::to_string(365 * 288 - 7 * 144));
    EXPECT_EQ(year.rows[0][records], std::to_string(365 * 288 - 7 * 144 - 72 - 288));
}

// The report's days and months hold the same numbers as the recomputation.
TEST_F(SummaryCliTest, TheReportsAgreeWithTheRecords) {
    const std::map<std::string, Period> days = Recompute(*records_, 10);
    CliProcess june({"report", "--db", Db(), "--station", kId, "--month", "2023-06"});
    ASSERT_EQ(june.Wait(60000), 0) << june.Err();
    std::istringstream in(june.Out());
    std::string line;
    int rows = 0;
    while (std::getline(in, line)) {
        std::istringstream cells(line);
        std::vector<std::string> c;
        for (std::string x; cells >> x;) c.push_back(x);
        if (c.size() != 13 || c[0].size() != 2 || c[3].find(':') == std::string::npos) continue;
        const Period& p = days.at("2023-06-" + c[0]);
        const Stat& t = p.stats.at("Ch1Temp");
        const Stat& gust = p.stats.at("Gust");
        SCOPED_TRACE(line);
        EXPECT_EQ(c[1], Shown("Ch1Temp", t.sum / t.count));
        EXPECT_EQ(c[2], Shown("Ch1Temp", t.max));
        EXPECT_EQ(c[3], t.maxAt.substr(11, 5));
        EXPECT_EQ(c[4], Shown("Ch1Temp", t.min));
        EXPECT_EQ(c[5], t.minAt.substr(11, 5));
        EXPECT_EQ(c[6], DegreeDays(p.heating));
        EXPECT_EQ(c[7], DegreeDays(p.cooling));
        EXPECT_EQ(c[8], FormatRain(p.rain, FMT_VALUE, kStationUnits));
        EXPECT_EQ(c[9], Shown("Wind", p.stats.at("Wind").sum / p.stats.at("Wind").count));
        EXPECT_EQ(c[10], Shown("Gust", gust.max));
        EXPECT_EQ(c[11], gust.maxAt.substr(11, 5));
        EXPECT_EQ(c[12], Dominant(p));
        ++rows;
    }
    EXPECT_EQ(rows, 30);
    EXPECT_NE(june.Out().find("TEMPERATURE (°F), RAIN (in), WIND SPEED (mph)"), std::string::npos);

    const std::map<std::string, Period> months = Recompute(*records_, 7);
    CliProcess year({"report", "--db", Db(), "--station", kId, "--year", "2023"});
    ASSERT_EQ(year.Wait(60000), 0) << year.Err();
    static const char* const kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                          "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    rows = 0;
    std::istringstream yin(year.Out());
    while (std::getline(yin, line)) {
        std::istringstream cells(line);
        std::vector<std::string> c;
        for (std::string x; cells >> x;) c.push_back(x);
        int m = 0;
        while (m < 12 && (c.empty() || c[0] != kMonths[m])) ++m;
        if (m == 12) continue;
        ASSERT_EQ(c.size(), 17u) << line;
        char key[8];
        std::snprintf(key, sizeof key, "2023-%02d", (m + 1) % 100);
        const Period& p = months.at(key);
        const Stat& t = p.stats.at("Ch1Temp");
        SCOPED_TRACE(line);
        EXPECT_EQ(c[3], Shown("Ch1Temp", t.sum / t.count));
        EXPECT_EQ(c[4], Shown("Ch1Temp", t.max));
        EXPECT_EQ(c[5], t.maxAt.substr(8, 2));
        EXPECT_EQ(c[6], Shown("Ch1Temp", t.min));
        EXPECT_EQ(c[8], DegreeDays(p.heating));
        EXPECT_EQ(c[10], FormatRain(p.rain, FMT_VALUE, kStationUnits));
        EXPECT_EQ(c[16], Dominant(p));
        ++rows;
    }
    EXPECT_EQ(rows, 12);
}

TEST_F(SummaryCliTest, TextInBothLanguagesAndBadArgumentsSaySo) {
    CliProcess en({"summary", "--db", Db(), "--station", kId, "--by", "month", "--from",
                   "2023-06-01", "--to", "2023-06-30"});
    ASSERT_EQ(en.Wait(60000), 0) << en.Err();
    EXPECT_EQ(en.Out().rfind("2023-06  Records ", 0), 0u) << en.Out();
    EXPECT_NE(en.Out().find("\n  Out Temp.(°F): Min "), std::string::npos) << en.Out();
    EXPECT_NE(en.Out().find("\n  Rainfall(in): "), std::string::npos) << en.Out();
    CliProcess zh({"summary", "--db", Db(), "--station", kId, "--by", "year", "--lang", "zh"});
    ASSERT_EQ(zh.Wait(60000), 0) << zh.Err();
    EXPECT_EQ(zh.Out().rfind("2023  记录数 ", 0), 0u) << zh.Out();
    EXPECT_NE(zh.Out().find("\n  室外温度(°F): 最小 "), std::string::npos) << zh.Out();

    const struct {
        std::vector<std::string> args;
        int status;
        const char* says;
    } cases[] = {
        {{"summary", "--station", kId}, 2, "--by day|month|year is required"},
        {{"summary", "--station", kId, "--by", "week"}, 2, "--by takes day, month or year"},
        {{"summary", "--station", kId, "--by", "day", "--format", "pdf"},
         2,
         "--format takes text or csv"},
        {{"summary", "--station", kId, "--by", "day", "--lang", "fr"}, 2, "--lang takes en or zh"},
        {{"summary", "--station", "12345678", "--by", "day"}, 1, "no records"},
        {{"report", "--station", kId}, 2, "give one of --month YYYY-MM or --year YYYY"},
        {{"report", "--station", kId, "--month", "2023-13"}, 2, "--month takes YYYY-MM"},
        {{"report", "--station", kId, "--year", "23"}, 2, "--year takes YYYY"},
        {{"report", "--station", kId, "--year", "2023", "--month", "2023-01"}, 2, "give one of"},
        {{"report", "--station", kId, "--month", "2024-01"}, 1, "no records in that month"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--db", Db()});
        CliProcess p(args);
        EXPECT_EQ(p.Wait(60000), c.status) << args[0] << " " << c.says;
        EXPECT_NE(p.Err().find(c.says), std::string::npos) << p.Err();
        EXPECT_TRUE(p.Out().empty());
    }
}

}  // namespace
