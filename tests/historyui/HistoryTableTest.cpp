#include <cmath>

#include "BrowserFixture.h"

using namespace nimbary;
using namespace nimbary::testing;

namespace {

constexpr uint32_t kDev = 0x0BADF00D;

class HistoryTableTest : public BrowserFixture {
protected:
    std::vector<std::string> Headers(const HistoryTable& t) {
        std::vector<std::string> h;
        for (int c = 0; c < t.ColumnCount(); ++c) h.push_back(t.HeaderText(c));
        return h;
    }
    std::vector<std::string> Row(const HistoryTable& t, int row) {
        std::vector<std::string> cells;
        for (int c = 0; c < t.ColumnCount(); ++c) cells.push_back(t.CellText(row, c));
        return cells;
    }
};

}  // namespace

// Indoor and channel 1 (all four of its values) with wind, pressure and
// rain: channels 2-8 go, even where their columns hold values, since the
// browser reads channel 1 only.
TEST_F(HistoryTableTest, KeepsTheColumnsWithDataInTableOrder) {
    HistoryRecord r = WeatherRecord(kDev, At(2024, 3, 5, 12), 0);
    r.ChTemp[1] = 40.0;  // channel 2
    r.ChHumi[7] = 30;    // channel 8
    r.Rain[RAIN_EVENT] = VAL_ABSENT;
    ASSERT_EQ(SaveAll(db, kDev, {r}), 0);
    HistoryTable t = LoadTable(kDev);
    const std::vector<std::string> expected = {"No.",
                                               "Time",
                                               "In Temp.(°C)",
                                               "In Humi.(%)",
                                               "Out Temp.(°C)",
                                               "Out Humi.(%)",
                                               "Out Dew(°C)",
                                               "Out Feel(°C)",
                                               "Wind(m/s)",
                                               "Gust(m/s)",
                                               "Wind Direction",
                                               "ABS Pressure(hpa)",
                                               "REL Pressure(hpa)",
                                               "Rain Rate(mm)/h",
                                               "Rain Hour(mm)",
                                               "Rain Day(mm)",
                                               "Rain 24Hour(mm)",
                                               "Rain Week(mm)",
                                               "Rain Month(mm)",
                                               "Rain Total(mm)"};
    EXPECT_EQ(Headers(t), expected);
    const std::vector<int> full = {0,  1,  2,  3,  4,  5,  20, 21, 36, 37,
                                   38, 39, 40, 42, 43, 44, 45, 46, 47, 48};
    for (int c = 0; c < t.ColumnCount(); ++c) EXPECT_EQ(t.FullColumn(c), full[c]) << c;
    EXPECT_EQ(t.DataCount(6), 0);   // channel 2 temperature
    EXPECT_EQ(t.DataCount(19), 0);  // channel 8 humidity
    EXPECT_EQ(t.DevId(), kDev);
}

// A column whose values are all "Low", "High" or dashes counts as data.
TEST_F(HistoryTableTest, SentinelOnlyColumnsStay) {
    std::vector<HistoryRecord> recs;
    for (int i = 0; i < 3; ++i) {
        HistoryRecord r = Empty(kDev, At(2024, 1, 1) + 60 * i);
        r.InTemp = 68.0;
        r.Wind = VAL_INVALID;
        r.Gust = VAL_LOW;
        r.AbsBaro = VAL_HIGH;
        r.WindDir = i == 1 ? 8388606 : VAL_ABSENT;  // one station code, else nothing
        recs.push_back(r);
    }
    ASSERT_EQ(SaveAll(db, kDev, recs), 0);
    HistoryTable t = LoadTable(kDev);
    EXPECT_EQ(Headers(t),
              (std::vector<std::string>{"No.", "Time", "In Temp.(°C)", "Wind(m/s)", "Gust(m/s)",
                                        "Wind Direction", "ABS Pressure(hpa)"}));
    EXPECT_EQ(Row(t, 0), (std::vector<std::string>{"1", "2024-01-01 00:00:00", "20.0", "--.-",
                                                   "Low", "", "High"}));
    EXPECT_EQ(Row(t, 1)[5], "--");
    EXPECT_EQ(t.DataCount(38), 1);
    EXPECT_EQ(t.DataCount(36), 3);
}

TEST_F(HistoryTableTest, HeadersAndCellsFollowTheUnitsOfTheLoad) {
    HistoryRecord r = Empty(kDev, At(2024, 3, 5, 12, 30, 15));
    r.InTemp = 70.34;
    r.InHumi = 45;
    r.AbsBaro = 1013.25;
    r.Wind = 10.0;
    r.Rain[RAIN_RATE] = 25.4;
    ASSERT_EQ(SaveAll(db, kDev, {r}), 0);
    struct Case {
        UnitSet units;
        std::vector<std::string> headers, cells;
    };
    const Case cases[] = {
        {MakeUnits(0, 0, 0, 0),
         {"In Temp.(°C)", "In Humi.(%)", "Wind(m/s)", "ABS Pressure(hpa)", "Rain Rate(mm)/h"},
         {"21.3", "45", "10.0", "1013.2", "25.4"}},
        {MakeUnits(1, 1, 4, 1),
         {"In Temp.(°F)", "In Humi.(%)", "Wind(bft)", "ABS Pressure(inHg)", "Rain Rate(in)/h"},
         {"70.3", "45", "5", "29.92", "1.00"}},
        {MakeUnits(1, 2, 3, 0),
         {"In Temp.(°F)", "In Humi.(%)", "Wind(knots)", "ABS Pressure(mmHg)", "Rain Rate(mm)/h"},
         {"70.3", "45", "19.4", "760.0", "25.4"}},
    };
    for (const Case& c : cases) {
        HistoryTable t = LoadTable(kDev, c.units);
        std::vector<std::string> headers = Headers(t), cells = Row(t, 0);
        EXPECT_EQ(std::vector<std::string>(headers.begin() + 2, headers.end()), c.headers);
        EXPECT_EQ(std::vector<std::string>(cells.begin() + 2, cells.end()), c.cells);
        EXPECT_EQ(cells[1], "2024-03-05 12:30:15");
    }
}

TEST_F(HistoryTableTest, ChineseHeadersReadAlikeForEveryChannel) {
    text::SetLanguage(text::Language::Chinese);
    EXPECT_EQ(ColumnHeader(2, UnitSet{}), "室内温度(°C)");
    EXPECT_EQ(ColumnHeader(4, UnitSet{}), "室外温度(°C)");
    EXPECT_EQ(ColumnHeader(18, UnitSet{}), "室外温度(°C)");
    EXPECT_EQ(ColumnHeader(42, UnitSet{}), "雨量强度(mm)/h");
    EXPECT_EQ(ColumnHeader(38, UnitSet{}), "风向");
    HistoryTable t(RecordTimeText, UnitSet{});
    EXPECT_EQ(t.HeaderText(0), "序号");
}

using RecordTime = CLocaleTest;

TEST_F(RecordTime, TimeTextsAndTheirRange) {
    struct Case {
        double ole;
        const char* text;
    };
    const Case cases[] = {
        {36526.0, "2000-01-01 00:00:00"},
        {StationTimeToOleDate(At(2016, 12, 28, 22, 58, 58)), "2016-12-28 22:58:58"},
        {0.0, "1899-12-30 00:00:00"},
        {-1.25, "1899-12-29 06:00:00"},  // before 1899-12-30 the fraction still counts forward
        {36526.0 + 86399.6 / 86400, "2000-01-02 00:00:00"},  // rounds to the next day
        {kOleMin, "0100-01-01 00:00:00"},
        {kOleMin - 1, "Invalid DateTime"},
        {kOleEnd, "Invalid DateTime"},
        {std::nan(""), "Invalid DateTime"},
    };
    for (const Case& c : cases) EXPECT_EQ(RecordTimeText(c.ole), c.text) << c.ole;
    EXPECT_EQ(SampleTimeText(), "2016-12-28 22:58:58");
    for (double ole : {-1.25, 0.5, 36526.75, 45000.0 + 3723.0 / 86400}) {
        QDate d;
        QTime t;
        ASSERT_TRUE(OleDateToCalendar(ole, d, t));
        EXPECT_DOUBLE_EQ(OleDateFrom(d, t), ole);
    }
}

TEST_F(RecordTime, LocaleFormatsHaveFourDigitYearsAndSecondsWithoutZone) {
    for (auto l :
         {QLocale(QLocale::English, QLocale::UnitedStates),
          QLocale(QLocale::Chinese, QLocale::China), QLocale(QLocale::German, QLocale::Germany)}) {
        QLocale::setDefault(l);
        EXPECT_TRUE(ShortDateFormat().contains("yyyy")) << l.name().toStdString();
        EXPECT_TRUE(TimeWithSecondsFormat().contains("ss")) << l.name().toStdString();
        EXPECT_FALSE(TimeWithSecondsFormat().contains('t')) << l.name().toStdString();
    }
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(SampleTimeText(), "12/28/2016 10:58:58 PM");
}

// The chart's axis places every record at its own clock reading, also on the
// days the clocks change: the line never runs backwards, and a time the
// clock skipped sits at the change.
TEST(AxisTime, EachRecordAtItsOwnZoneOffset) {
    const std::string saved = getenv("TZ") ? getenv("TZ") : "";
    const bool had = getenv("TZ") != nullptr;
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    struct Case {
        const char* day;
        int from, to;  // station minutes of the day, every 5
    };
    const Case cases[] = {
        {"2024-03-31", 0, 5 * 60},  // spring: 02:00 becomes 03:00
        {"2024-10-27", 0, 5 * 60},  // autumn: 03:00 becomes 02:00
        {"2024-06-15", 0, 5 * 60},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.day);
        const QDate date = QDate::fromString(c.day, Qt::ISODate);
        AxisTime axis;
        double last = -1e300;
        for (int m = c.from; m <= c.to; m += 5) {
            const QTime time(m / 60, m % 60);
            const double msecs = axis.Msecs(OleDateFrom(date, time));
            EXPECT_GE(msecs, last) << m;
            last = msecs;
            const QDateTime shown = QDateTime::fromMSecsSinceEpoch(qint64(msecs));
            if (date == QDate(2024, 3, 31) && m >= 120 && m < 180)
                EXPECT_EQ(shown.time(), QTime(3, 0)) << m;  // skipped: at the change
            else
                EXPECT_EQ(shown, QDateTime(date, time)) << m;
        }
    }
    if (had)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}
