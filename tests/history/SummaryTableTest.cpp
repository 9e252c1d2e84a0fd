#include <gtest/gtest.h>

#include <map>

#include "ClimateReport.h"
#include "HistoryFill.h"
#include "RecordingMessages.h"
#include "StringTable.h"
#include "SummaryTable.h"
#include "TempDir.h"

namespace nimbary {
namespace {

using testing::At;

constexpr uint32_t kDev = 0x5A17C0DE;

class SummaryTextTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(db_.Open(dir_.File("Nimbary.db")), 0); }
    void TearDown() override { text::SetLanguage(text::Language::English); }

    std::vector<PeriodSummary> Sum(SummaryPeriod period, uint32_t from, uint32_t to) {
        SummaryRequest q;
        q.devId = kDev;
        q.period = period;
        q.start = StationTimeToOleDate(from);
        q.end = StationTimeToOleDate(to);
        std::vector<PeriodSummary> out;
        EXPECT_EQ(Summarize(db_, q, out), 0);
        return out;
    }

    testing::TempDir dir_;
    testing::RecordingMessages messages_;
    HistoryDb db_{&messages_};
};

// One day: outdoor 32 °F all morning and 77 °F all afternoon, 1013.3 hPa,
// wind 9.5 m/s once, 12.7 mm of rain; the table in each unit and language.
TEST_F(SummaryTextTest, TheTableSpeaksTheLanguageAndUnitsInForce) {
    const uint32_t d = At(2024, 6, 1);
    ASSERT_EQ(testing::SaveBatches(db_, kDev, 288,
                                   [&](int i) {
                                       HistoryRecord r;
                                       r.DevID = kDev;
                                       r.RecTime = StationTimeToOleDate(d + 300 * i);
                                       r.ChTemp[0] = i < 144 ? 32.0 : 77.0;
                                       r.AbsBaro = 1013.3;
                                       r.Wind = i == 200 ? 9.5 : 1.0;
                                       r.WindDir = 200;
                                       r.Rain[RAIN_TOTAL] = i < 100 ? 3.0 : 15.7;
                                       return r;
                                   }),
              0);
    const auto days = Sum(SummaryPeriod::Day, d, d + 86399);
    ASSERT_EQ(days.size(), 1u);

    struct Case {
        UnitSet units;
        text::Language lang;
        std::map<std::string, std::string> cells;  // header -> cell
    } cases[] = {
        {{TEMP_C, BARO_HPA, WIND_MS, RAIN_MM},
         text::Language::English,
         {{"Day", "2024-06-01"},
          {"Coverage(%)", "100.0"},
          {"Out Temp. Max(°C)", "25.0"},
          {"Out Temp. Max Time", "12:00"},
          {"Out Temp. Min(°C)", "0.0"},
          {"Out Temp. Mean(°C)", "12.5"},
          {"ABS Pressure Max(hpa)", "1013.3"},
          {"Wind Max(m/s)", "9.5"},
          {"Wind Max Time", "16:40"},
          {"Wind Max Direction", "SSW"},
          {"Dominant Direction", "SSW"},
          {"Rainfall(mm)", "12.7"},
          {"Rain Rate Max(mm)/h", "12.7"},
          {"Rain Rate Max Time", "08:00"},
          {"Heating Degree Days(°C)", "5.8"},
          {"Cooling Degree Days(°C)", "0.0"}}},
        {{TEMP_F, BARO_INHG, WIND_KMH, RAIN_IN},
         text::Language::English,
         {{"Out Temp. Max(°F)", "77.0"},
          {"ABS Pressure Mean(inHg)", "29.92"},
          {"Wind Max(km/h)", "34.2"},
          {"Rainfall(in)", "0.50"},
          {"Heating Degree Days(°F)", "10.5"}}},
        {{TEMP_C, BARO_MMHG, WIND_MPH, RAIN_MM},
         text::Language::Chinese,
         {{"日", "2024-06-01"},
          {"完整率(%)", "100.0"},
          {"室外温度 最大(°C)", "25.0"},
          {"室外温度 最大 时间", "12:00"},
          {"绝对气压 平均(mmHg)", "760.0"},
          {"风速 最大(mph)", "21.3"},
          {"风速 最大 方向", "SSW"},
          {"主导风向", "SSW"},
          {"雨量(mm)", "12.7"},
          {"雨量强度 最大(mm)/h", "12.7"},
          {"采暖度日(°C)", "5.8"}}},
        {{TEMP_F, BARO_HPA, WIND_KNOTS, RAIN_IN},
         text::Language::Chinese,
         {{"风速 最大(knots)", "18.5"}}},
        {{TEMP_F, BARO_HPA, WIND_BFT, RAIN_IN},
         text::Language::English,
         {{"Wind Max(bft)", "5"}, {"Wind Mean(bft)", "1"}}},
    };
    for (const Case& c : cases) {
        text::SetLanguage(c.lang);
        const SummaryTable table(SummaryPeriod::Day, days, c.units);
        std::map<std::string, std::string> shown;
        for (int col = 0; col < table.ColumnCount(); ++col)
            shown[table.HeaderText(col)] = table.CellText(0, col);
        for (const auto& [header, cell] : c.cells) {
            ASSERT_TRUE(shown.count(header)) << header;
            EXPECT_EQ(shown[header], cell) << header;
        }
    }
    // Only what the station has: no indoor sensor, no gust, no channel 2.
    const SummaryTable table(SummaryPeriod::Day, days, UnitSet{});
    for (int col = 0; col < table.ColumnCount(); ++col) {
        const std::string h = table.HeaderText(col);
        EXPECT_EQ(h.find("In Temp."), std::string::npos) << h;
        EXPECT_EQ(h.find("Gust"), std::string::npos) << h;
        EXPECT_EQ(h.find("Channel"), std::string::npos) << h;
    }
    // Months and years name their periods so, with dates in the times.
    const auto months = Sum(SummaryPeriod::Month, d, d + 86399);
    const SummaryTable byMonth(SummaryPeriod::Month, months, UnitSet{});
    EXPECT_EQ(byMonth.HeaderText(0), "Month");
    EXPECT_EQ(byMonth.CellText(0, 0), "2024-06");
    EXPECT_EQ(byMonth.HeaderText(7), "Out Temp. Max Time");
    EXPECT_EQ(byMonth.CellText(0, 7), "2024-06-01 12:00");
    const SummaryTable byYear(SummaryPeriod::Year, Sum(SummaryPeriod::Year, d, d + 86399),
                              UnitSet{});
    EXPECT_EQ(byYear.HeaderText(0), "Year");
    EXPECT_EQ(byYear.CellText(0, 0), "2024");
}

// Three days of March 2024 at hourly records: a rising day, a falling day
// and half a day; rain on the 2nd and, after a reset of the counter, on
// the 3rd. In °C, mm and km/h.
TEST_F(SummaryTextTest, TheMonthlyReportLayoutByteForByte) {
    std::vector<HistoryRecord> records;
    for (int day = 1; day <= 3; ++day)
        for (int h = 0; h < (day == 3 ? 12 : 24); ++h) {
            HistoryRecord r;
            r.DevID = kDev;
            r.RecTime = StationTimeToOleDate(At(2024, 3, day, h));
            r.ChTemp[0] = day == 1 ? 41.0 + h : day == 2 ? 86.0 - h : 65.0;
            r.Wind = 2.0;
            r.Gust = h * 0.5;
            r.WindDir = day == 1 ? 90 : day == 2 ? 180 : 270;
            r.Rain[RAIN_TOTAL] = day == 1   ? 0.0
                                 : day == 2 ? (h < 10   ? 0.0
                                               : h < 13 ? h - 9.0
                                                        : 3.0)
                                            : (h < 5    ? 3.0
                                               : h == 5 ? 0.0
                                                        : 0.5);
            records.push_back(r);
        }
    ASSERT_EQ(testing::SaveAll(db_, kDev, records), 0);
    std::string report;
    bool any = false;
    ASSERT_EQ(ClimateReport::Make(db_, kDev, 2024, 3, UnitSet{TEMP_C, BARO_HPA, WIND_KMH, RAIN_MM},
                                  report, &any),
              0);
    EXPECT_TRUE(any);
    std::string expected =
        "                   MONTHLY CLIMATOLOGICAL SUMMARY for March 2024\n"
        "\n"
        "STATION: 5A17C0DE\n"
        "\n"
        "                   TEMPERATURE (°C), RAIN (mm), WIND SPEED (km/h)\n"
        "\n"
        "                                         HEAT   COOL            AVG\n"
        "      MEAN                                DEG    DEG           WIND                 DOM\n"
        "DAY   TEMP   HIGH   TIME    LOW   TIME   DAYS   DAYS    RAIN  SPEED   HIGH   TIME   DIR\n"
        "---------------------------------------------------------------------------------------\n"
        " 01   11.4   17.8  23:00    5.0  00:00    6.9    0.0     0.0    7.2   41.4  23:00     E\n"
        " 02   23.6   30.0  00:00   17.2  23:00    0.0    5.3     3.0    7.2   41.4  23:00     S\n"
        " 03   18.3   18.3  00:00   18.3  00:00    0.0    0.0     0.5    7.2   19.8  11:00     W\n";
    for (int day = 4; day <= 31; ++day)
        expected += (day < 10 ? " 0" : " ") + std::to_string(day) + "\n";
    expected +=
        "---------------------------------------------------------------------------------------\n"
        "      17.7   30.0     02    5.0     01    6.9    5.3     3.5    7.2   41.4     01     E\n"
        "\n"
        "MAX RAIN: 3.0 ON 02\n"
        "DAYS OF RAIN: 2\n"
        "RECORDS: 60 OF 744 EXPECTED (8.1%)\n";
    EXPECT_EQ(report, expected);
}

}  // namespace
}  // namespace nimbary
