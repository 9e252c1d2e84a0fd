#include <gtest/gtest.h>

#include "BlockEntry.h"
#include "CalendarTime.h"
#include "FakeStation.h"
#include "RainAccumulator.h"

using namespace nimbary;
using nimbary::testing::EncodeHeader;
using nimbary::testing::EncodeRecord;
using nimbary::testing::RawHeader;
using nimbary::testing::RawRecord;

namespace {

BlockEntry Entry(uint8_t flags, uint8_t tempMask = 0, uint8_t humiMask = 0) {
    BlockEntry e;
    e.Flags = flags;
    e.TempMask = tempMask;
    e.HumiMask = humiMask;
    return e;
}

uint32_t At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    CalendarTime c;
    c.Year = y;
    c.Month = mo;
    c.Day = d;
    c.Hour = h;
    c.Minute = mi;
    c.Second = s;
    uint32_t t = 0;
    EXPECT_TRUE(c.ToStationTime(t));
    return t;
}

}  // namespace

TEST(MemoryDecode, RecordSizeFromFlagsAndMasks) {
    struct Case {
        uint8_t flags, temp, humi;
        int size;
    } cases[] = {
        {0, 0, 0, 0},
        {BF_IN_TEMP, 0, 0, 2},     // one lone temperature
        {BF_IN_TEMP, 0x01, 0, 3},  // a pair
        {BF_IN_TEMP, 0x03, 0, 5},  // pair + lone
        {BF_IN_TEMP | BF_IN_HUMI, 0x01, 0x01, 5},
        {BF_WIND, 0, 0, 2},  // low byte + high-bits byte
        {BF_WIND | BF_GUST | BF_WIND_DIR, 0, 0, 4},
        {BF_PRESSURE, 0, 0, 2},  // no high-bits byte for pressure
        {BF_RAIN, 0, 0, 3},
        {BF_RAIN_HEADER, 0, 0, 0},  // the header is extra
        {0x7F, 0xFF, 0xFF, 31},     // everything: 9 temps, 9 humidities
    };
    for (const Case& c : cases)
        EXPECT_EQ(Entry(c.flags, c.temp, c.humi).RecordSize(), c.size)
            << int(c.flags) << " " << int(c.temp) << " " << int(c.humi);
}

// Every field of a full record, with an odd number of temperatures so the
// packing ends on a lone value.
TEST(MemoryDecode, FullRecordAgainstIndependentEncoder) {
    BlockEntry e = Entry(0x7F, 0x05, 0x03);  // indoor + channels 1 and 3: three temperatures
    RawRecord raw;
    raw.inTemp = 400 + 215;  // 21.5 °F
    raw.chTemp[0] = 0;       // -40.0
    raw.chTemp[2] = 2041;    // 164.1, the last reading
    raw.inHumi = 45;
    raw.chHumi[0] = 121;
    raw.chHumi[1] = 122;  // VAL_INVALID
    raw.wind = 505;       // 50.5 m/s, needs bit 8
    raw.gust = 506;       // first sentinel code
    raw.dir = 359;
    raw.pressure = 10132;
    raw.rain = 0x1FFFF;  // 13107.1 mm, needs bit 16
    auto bytes = EncodeRecord(e, raw);
    ASSERT_EQ(bytes.size(), static_cast<size_t>(e.RecordSize()));

    HistoryRecord r;
    ASSERT_EQ(DecodeRecord(bytes.data(), bytes.size(), e, r), bytes.size());
    EXPECT_DOUBLE_EQ(r.InTemp, 21.5);
    EXPECT_DOUBLE_EQ(r.ChTemp[0], -40.0);
    EXPECT_DOUBLE_EQ(r.ChTemp[2], 164.1);
    EXPECT_EQ(r.ChTemp[1], static_cast<double>(VAL_ABSENT));  // not in the mask: untouched
    EXPECT_EQ(r.InHumi, 45);
    EXPECT_EQ(r.ChHumi[0], 121);
    EXPECT_EQ(r.ChHumi[1], VAL_INVALID);
    EXPECT_DOUBLE_EQ(r.Wind, 50.5);
    EXPECT_EQ(r.Gust, 8388602.0);
    EXPECT_EQ(r.WindDir, 359);
    EXPECT_DOUBLE_EQ(r.AbsBaro, 1013.2);
    EXPECT_DOUBLE_EQ(r.Rain[RAIN_TOTAL], 13107.1);
    EXPECT_EQ(DecodeRecord(bytes.data(), bytes.size() - 1, e, r), 0u);  // too short
}

TEST(MemoryDecode, SentinelCodes) {
    BlockEntry e = Entry(BF_IN_TEMP | BF_IN_HUMI, 0x03, 0x01);
    RawRecord raw;
    raw.inTemp = 2043;
    raw.chTemp[0] = 2042;
    raw.chTemp[1] = 2047;
    raw.inHumi = 122;
    raw.chHumi[0] = 123;
    auto bytes = EncodeRecord(e, raw);
    HistoryRecord r;
    ASSERT_EQ(DecodeRecord(bytes.data(), bytes.size(), e, r), bytes.size());
    EXPECT_EQ(r.InTemp, 8388603.0);  // VAL_ABSENT
    EXPECT_EQ(r.ChTemp[0], 8388602.0);
    EXPECT_EQ(r.ChTemp[1], 8388607.0);
    EXPECT_EQ(r.InHumi, VAL_INVALID);
    EXPECT_EQ(r.ChHumi[0], VAL_ABSENT);
    EXPECT_EQ(DecodeSpeed9(511), 8388607.0);
    EXPECT_EQ(DecodeDirection9(507), VAL_ABSENT);
    EXPECT_EQ(DecodeSpeed9(506), 8388602.0);
    EXPECT_DOUBLE_EQ(DecodeSpeed9(505), 50.5);
}

// Codes between a field's readings and its sentinel codes carry no reading;
// they must not turn into huge numbers that look like readings.
TEST(MemoryDecode, GapCodesFromCorruptMemoryAreInvalid) {
    BlockEntry e = Entry(BF_IN_TEMP | BF_IN_HUMI | BF_PRESSURE, 0x01);
    RawRecord raw;
    raw.inTemp = 0x800;
    raw.chTemp[0] = 0xFFF;
    raw.inHumi = 200;
    raw.pressure = 0x8000;
    auto bytes = EncodeRecord(e, raw);
    HistoryRecord r;
    ASSERT_EQ(DecodeRecord(bytes.data(), bytes.size(), e, r), bytes.size());
    EXPECT_EQ(r.InTemp, static_cast<double>(VAL_INVALID));
    EXPECT_GE(r.ChTemp[0], static_cast<double>(VAL_INVALID));
    EXPECT_EQ(r.InHumi, VAL_INVALID);
    EXPECT_EQ(r.AbsBaro, static_cast<double>(VAL_INVALID));
}

TEST(MemoryDecode, RainHeaderWithSeventeenBitSums) {
    RawHeader h;
    h.hour = 1023;
    h.day = 5;
    h.week = 0x1ABCD;
    h.month = 0x10000;
    auto bytes = EncodeHeader(h);
    RainHeader out;
    ASSERT_TRUE(DecodeRainHeader(bytes.data(), bytes.size(), out));
    EXPECT_DOUBLE_EQ(out.Hour, 102.3);
    EXPECT_DOUBLE_EQ(out.Day, 0.5);
    EXPECT_DOUBLE_EQ(out.Week, 0x1ABCD / 10.0);
    EXPECT_DOUBLE_EQ(out.Month, 6553.6);
    EXPECT_FALSE(DecodeRainHeader(bytes.data(), 11, out));
}

TEST(StationCalendar, DatesWeekdaysAndOleDates) {
    struct Case {
        uint32_t t;
        int y, mo, d, h, mi, s, weekday;
    } cases[] = {
        {0, 2000, 1, 1, 0, 0, 0, 7},                   // a Saturday
        {86400, 2000, 1, 2, 0, 0, 0, 1},               // Sunday
        {59 * 86400 + 3661, 2000, 2, 29, 1, 1, 1, 3},  // leap day, a Tuesday
        {0xFFFFFFFFu, 2136, 2, 7, 6, 28, 15, 3},       // the last station second
    };
    for (const Case& c : cases) {
        CalendarTime cal = CalendarTime::FromStationTime(c.t);
        EXPECT_EQ(cal.Year, c.y);
        EXPECT_EQ(cal.Month, c.mo);
        EXPECT_EQ(cal.Day, c.d);
        EXPECT_EQ(cal.Hour, c.h);
        EXPECT_EQ(cal.Minute, c.mi);
        EXPECT_EQ(cal.Second, c.s);
        EXPECT_EQ(cal.Weekday, c.weekday) << c.t;
        uint32_t back = 1;
        ASSERT_TRUE(cal.ToStationTime(back));
        EXPECT_EQ(back, c.t);
        uint32_t fromOle = 1;
        ASSERT_TRUE(OleDateToStationTime(StationTimeToOleDate(c.t), fromOle));
        EXPECT_EQ(fromOle, c.t);
    }
    EXPECT_EQ(StationTimeToOleDate(At(2024, 3, 5, 12)), 45356.5);
    CalendarTime bad;
    bad.Year = 2023;
    bad.Month = 2;
    bad.Day = 29;
    uint32_t t;
    EXPECT_FALSE(bad.ToStationTime(t));
    bad.Year = 1999;
    bad.Day = 1;
    EXPECT_FALSE(bad.ToStationTime(t));
}

// ---- Rain accumulation --------------------------------------------------------

namespace {

DeviceInfo RainState(uint32_t since, double total) {
    DeviceInfo d;
    for (int k = 0; k < kRainKinds; ++k) {
        d.RainTime[k] = since;
        d.Rain[k] = 0.0;
    }
    d.Rain[RAIN_EVENT] = d.Rain[RAIN_RATE] = d.Rain[RAIN_24HOUR] = VAL_ABSENT;
    d.Rain[RAIN_TOTAL] = total;
    d.RecTime = since;
    return d;
}

}  // namespace

TEST(RainAccumulation, PeriodsRestartOnCalendarBoundaries) {
    struct Case {
        const char* name;
        uint32_t from, to;
        bool hour, day, week, month;
    } cases[] = {
        {"next hour, 10 minutes later", At(2024, 3, 5, 10, 55), At(2024, 3, 5, 11, 5), true, false,
         false, false},
        {"same hour number a day later", At(2024, 3, 5, 10, 5), At(2024, 3, 6, 10, 6), true, true,
         false, false},
        {"Saturday to Sunday", At(2024, 3, 9, 23, 50), At(2024, 3, 10, 0, 10), true, true, true,
         false},
        {"Sunday to Monday", At(2024, 3, 10, 23, 50), At(2024, 3, 11, 0, 10), true, true, false,
         false},
        {"a week of Tuesdays", At(2024, 3, 5, 10, 5), At(2024, 3, 12, 10, 5), true, true, true,
         false},
        {"month end, Thursday to Friday", At(2024, 2, 29, 23, 50), At(2024, 3, 1, 0, 10), true,
         true, false, true},
        {"31 days in one month number", At(2024, 1, 1, 0, 0), At(2024, 2, 1, 0, 0), true, true,
         true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeviceInfo d = RainState(c.from, 50.0);
        d.Rain[RAIN_HOUR] = d.Rain[RAIN_DAY] = d.Rain[RAIN_WEEK] = d.Rain[RAIN_MONTH] = 7.0;
        RainAccumulator::Accumulate(d, c.to, 51.0);
        EXPECT_DOUBLE_EQ(d.Rain[RAIN_HOUR], c.hour ? 1.0 : 8.0);
        EXPECT_DOUBLE_EQ(d.Rain[RAIN_DAY], c.day ? 1.0 : 8.0);
        EXPECT_DOUBLE_EQ(d.Rain[RAIN_WEEK], c.week ? 1.0 : 8.0);
        EXPECT_DOUBLE_EQ(d.Rain[RAIN_MONTH], c.month ? 1.0 : 8.0);
        EXPECT_EQ(d.RainTime[RAIN_HOUR], c.hour ? c.to : c.from);
    }
}

TEST(RainAccumulation, AccumulatorsWrapAtTheStationLimits) {
    const uint32_t t0 = At(2024, 3, 5, 10, 0);
    DeviceInfo d = RainState(t0, 10000.0);
    d.Rain[RAIN_HOUR] = 999.9;
    d.Rain[RAIN_WEEK] = 9999.0;
    RainAccumulator::Accumulate(d, t0 + 60, 10000.1);  // hour becomes 1000.0
    EXPECT_NEAR(d.Rain[RAIN_HOUR], 0.1, 1e-9);
    EXPECT_NEAR(d.Rain[RAIN_DAY], 0.1, 1e-9);
    EXPECT_NEAR(d.Rain[RAIN_WEEK], 9999.1, 1e-9);
    // The total stays as the station reports it, so the next step is measured right.
    EXPECT_DOUBLE_EQ(d.Rain[RAIN_TOTAL], 10000.1);
    RainAccumulator::Accumulate(d, t0 + 120, 10000.3);
    EXPECT_NEAR(d.Rain[RAIN_HOUR], 0.3, 1e-9);
    EXPECT_NEAR(d.Rain[RAIN_WEEK], 9999.3, 1e-9);
}
