// Weather that is plausible and repeatable for a seed; the station's clock
// and recording at its interval.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "SimTestUtil.h"
#include "Units.h"
#include "WeatherModel.h"

namespace nimbary::sim {
namespace {

using namespace test;
using Bytes = std::vector<uint8_t>;

TEST(Weather, PlausibleOverAMonthForSeveralSeeds) {
    const uint32_t start = NoonMarch5();
    for (uint64_t seed : {1ULL, 2ULL, 12345ULL, 0xFFFFFFFFFFULL}) {
        SCOPED_TRACE(seed);
        WeatherModel w(seed, start);
        uint32_t lastRain = 0;
        int rainyDays = 0;
        double sumT = 0, sumH = 0, sumTH = 0, sumTT = 0;
        int n = 0;
        for (int day = 0; day < 30; ++day) {
            int32_t lo = 100000, hi = -100000;
            uint32_t dayRain = w.RainTotal(start + day * 86400);
            for (uint32_t s = 0; s < 86400; s += 600) {
                const uint32_t t = start + day * 86400 + s;
                const WeatherSample x = w.At(t);
                EXPECT_GT(x.chTemp[0], -200);  // -20 F
                EXPECT_LT(x.chTemp[0], 1100);  // 110 F
                EXPECT_GE(x.chHumi[0], 10);
                EXPECT_LE(x.chHumi[0], 99);
                EXPECT_GT(x.inTemp, 600);
                EXPECT_LT(x.inTemp, 800);
                EXPECT_GT(x.absBaro, 9600);
                EXPECT_LT(x.absBaro, 10500);
                EXPECT_GE(x.wind, 0);
                EXPECT_LE(x.wind, 300);
                EXPECT_GE(x.gust, x.wind);
                EXPECT_GE(x.windDir, 0);
                EXPECT_LT(x.windDir, 360);
                EXPECT_GE(x.rainTotal, lastRain) << "the gauge only counts up";
                lastRain = x.rainTotal;
                lo = std::min(lo, x.chTemp[0]);
                hi = std::max(hi, x.chTemp[0]);
                sumT += x.chTemp[0];
                sumH += x.chHumi[0];
                sumTH += double(x.chTemp[0]) * x.chHumi[0];
                sumTT += double(x.chTemp[0]) * x.chTemp[0];
                ++n;
            }
            EXPECT_GT(hi - lo, 40) << "a daily swing of more than 4 F on day " << day;
            if (w.RainTotal(start + (day + 1) * 86400) > dayRain) ++rainyDays;
        }
        EXPECT_GE(rainyDays, 2) << "showers come";
        EXPECT_LE(rainyDays, 27) << "and go";
        const double cov = sumTH / n - (sumT / n) * (sumH / n);
        EXPECT_LT(cov, 0) << "humidity moves against temperature";
    }
}

TEST(Weather, RepeatableForASeedWhateverTheOrderOfQuestions) {
    const uint32_t t0 = NoonMarch5();
    WeatherModel a(42, t0 - 86400), b(42, t0 - 86400), c(43, t0 - 86400);
    const WeatherSample late = b.At(t0 + 5 * 86400);  // b starts far ahead
    bool differs = false;
    for (uint32_t s = 0; s < 6 * 86400; s += 3600) {
        const WeatherSample x = a.At(t0 + s), y = b.At(t0 + s), z = c.At(t0 + s);
        EXPECT_EQ(x.chTemp[0], y.chTemp[0]);
        EXPECT_EQ(x.absBaro, y.absBaro);
        EXPECT_EQ(x.windDir, y.windDir);
        EXPECT_EQ(x.rainTotal, y.rainTotal);
        differs = differs || x.chTemp[0] != z.chTemp[0] || x.absBaro != z.absBaro;
    }
    EXPECT_EQ(late.rainTotal, a.At(t0 + 5 * 86400).rainTotal);
    EXPECT_TRUE(differs) << "another seed, other weather";
}

TEST(Weather, StationsWithTheSameSeedAnswerTheSame) {
    Rig a(FrozenConfig(3, 5)), b(FrozenConfig(3, 5)), c(FrozenConfig(3, 6));
    EXPECT_EQ(a.station->Memory().Data(), b.station->Memory().Data());
    EXPECT_EQ(a.station->Memory().Table(), b.station->Memory().Table());
    EXPECT_NE(a.station->Memory().Data(), c.station->Memory().Data());
    for (const std::vector<uint8_t>& req : std::vector<std::vector<uint8_t>>{
             {0x04}, {0x05}, {0x08}, {0x09, 0x01, 0x00}, {0x09, 0x08, 0x00}, {0x02, 0x00}}) {
        EXPECT_EQ(Ask(*a.dev, req), Ask(*b.dev, req)) << int(req[0]);
    }
}

TEST(Weather, ConfigurationChoosesSensorsAndRain) {
    SimConfig cfg = FrozenConfig(1);
    cfg.presence = {0x03, 0x01, SQ_IN_TEMP | SQ_PRESSURE, 0, 0};  // channels 1 and 2, no rain
    Rig rig(cfg);
    const HistoryMemory m = rig.station->Memory();
    const BlockEntry e = m.Entry(1);
    EXPECT_EQ(e.tempMask, 0x03);
    EXPECT_EQ(e.humiMask, 0x01);
    EXPECT_EQ(e.flags, 0x21) << "no rain, so no rain header";
    // three temperatures (5 bytes), one humidity, pressure
    EXPECT_EQ(m.UsedSize(), 289 * 8);
    const StationReading r = rig.station->Current();
    EXPECT_EQ(r.rainTotal, VAL_ABSENT);
    EXPECT_EQ(r.wind, VAL_ABSENT);
    EXPECT_EQ(r.inHumi, VAL_ABSENT);
    EXPECT_EQ(r.chHumi[1], VAL_ABSENT);
    EXPECT_LT(r.chTemp[1], VAL_INVALID);
}

TEST(StationMemory, DefaultHistoryMatchesTheLayout) {
    Rig rig(FrozenConfig(1));
    const HistoryMemory m = rig.station->Memory();
    const uint32_t start = NoonMarch5() - 86400;
    // 289 records from noon to noon: 255 in block 1, 34 in block 2.
    EXPECT_EQ(m.FirstBlock(), 1);
    EXPECT_EQ(m.CurrentBlock(), 2);
    EXPECT_EQ(m.UsedSize(), 12 + 255 * 13 + 12 + 34 * 13);
    const BlockEntry b1 = m.Entry(1), b2 = m.Entry(2);
    EXPECT_EQ(b1.count, 255);
    EXPECT_EQ(b1.time, start);
    EXPECT_EQ(b1.start, 0);
    EXPECT_EQ(b2.count, 34);
    EXPECT_EQ(b2.time, start + 255 * 300);
    EXPECT_EQ(b2.start, 12 + 255 * 13);

    // Block 2's header and first record, field by field.
    const Bytes& d = m.Data();
    const size_t h = b2.start, p = h + 12;
    const StationReading r = rig.station->ReadingAt(b2.time);
    EXPECT_EQ(Le16(d, h) & 0x3FF, r.rainHour);
    EXPECT_EQ(Le16(d, h + 2) & 0x3FF, r.rainDay);
    EXPECT_EQ(Le16(d, h + 4) | ((Le16(d, h) >> 14 & 1) << 16), r.rainWeek);
    EXPECT_EQ(Le16(d, h + 6) | ((Le16(d, h) >> 15 & 1) << 16), r.rainMonth);
    EXPECT_EQ(First12(d, p), r.inTemp + 400);
    EXPECT_EQ(Second12(d, p), r.chTemp[0] + 400);
    EXPECT_EQ(d[p + 3], r.inHumi);
    EXPECT_EQ(d[p + 4], r.chHumi[0]);
    EXPECT_EQ(d[p + 5] | (d[p + 12] & 1) << 8, r.wind);
    EXPECT_EQ(d[p + 6] | (d[p + 12] >> 1 & 1) << 8, r.gust);
    EXPECT_EQ(d[p + 7] | (d[p + 12] >> 2 & 1) << 8, r.windDir);
    EXPECT_EQ(Le16(d, p + 8), r.absBaro);
    EXPECT_EQ(Le16(d, p + 10) | (d[p + 12] >> 3 & 1) << 16, r.rainTotal);
    EXPECT_EQ(d[p + 12] & 0xF0, 0);
    // The last record of block 1 ends where block 2 begins.
    const StationReading last = rig.station->ReadingAt(start + 254 * 300);
    EXPECT_EQ(Le16(d, b2.start - 5), last.absBaro);
}

TEST(StationClock, RecordsAtTheIntervalOnItsOwnClock) {
    Rig rig;
    EXPECT_EQ(rig.station->Memory().Entry(1).count, 1);
    rig.station->AdvanceClock(299);
    EXPECT_EQ(rig.station->Memory().Entry(1).count, 1);
    rig.station->AdvanceClock(1);
    EXPECT_EQ(rig.station->Memory().Entry(1).count, 2);
    rig.station->AdvanceClock(3600);
    EXPECT_EQ(rig.station->Memory().Entry(1).count, 14);

    // A clock set forward skips the time in between: a new block.
    rig.station->SetTime(NoonMarch5() + 86400);
    rig.station->AdvanceClock(1);
    const HistoryMemory m = rig.station->Memory();
    EXPECT_EQ(m.CurrentBlock(), 2);
    EXPECT_EQ(m.Entry(2).time, NoonMarch5() + 86400) << "the set time is on the interval";

    rig.station->SetRecording(false);
    rig.station->AdvanceClock(3600);
    EXPECT_EQ(rig.station->Memory().Entry(2).count, 1);
}

TEST(StationClock, TheEndOfTheClockAndLongGaps) {
    Rig rig;
    rig.station->SetTime(4294967000.0);
    rig.station->AdvanceClock(1000);
    EXPECT_EQ(rig.station->Now(), 0xFFFFFFFFu) << "the clock stops at its end";
    EXPECT_EQ(rig.station->Now(), 0xFFFFFFFFu);
    const HistoryMemory m = rig.station->Memory();
    EXPECT_EQ(m.Entry(m.CurrentBlock()).time, 4294967100u);
    EXPECT_EQ(m.Entry(m.CurrentBlock()).count, 1) << "the last record time is taken once";

    // Ten years at 16-second records in one step: only the newest stretch is replayed.
    Rig fast;
    SettingsBytes s = fast.station->Settings();
    s[19] = 16;
    s[20] = 0;
    fast.station->SetSettings(s);
    fast.station->AdvanceClock(10 * 365 * 86400.0);
    const HistoryMemory f = fast.station->Memory();
    uint32_t last = 0;
    ASSERT_TRUE(f.LastRecordTime(last));
    EXPECT_EQ(last, fast.station->Now() - fast.station->Now() % 16);
}

TEST(StationClock, FrozenFastAndRealTime) {
    Rig rig;
    const uint32_t t = rig.station->Now();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(rig.station->Now(), t) << "frozen";

    rig.station->SetClockSpeed(1000);
    rig.station->FreezeClock(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_GE(rig.station->Now(), t + 40) << "fifty milliseconds are fifty seconds";
    rig.station->FreezeClock(true);
    const uint32_t stopped = rig.station->Now();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(rig.station->Now(), stopped);

    // A real-time station starts at the local time.
    SimConfig live;
    live.historyDays = 0;
    SimStation s(live);
    EXPECT_NEAR(double(s.Now()), LocalNowStationSeconds(), 5.0);
}

TEST(StationConfig, RejectsWhatItCannotSimulate) {
    SimConfig c;
    c.interval = 61;
    EXPECT_NE(SimStation::CheckConfig(c), "");
    EXPECT_THROW(SimStation{c}, std::invalid_argument);
    c = SimConfig{};
    c.memory.blocks = 0;
    EXPECT_NE(SimStation::CheckConfig(c), "");
    c = SimConfig{};
    c.speed = 0;
    EXPECT_NE(SimStation::CheckConfig(c), "");
    c = SimConfig{};
    c.memory.dataSize = 64;
    EXPECT_NE(SimStation::CheckConfig(c), "");
    EXPECT_TRUE(SimStation::ValidInterval(16));
    EXPECT_TRUE(SimStation::ValidInterval(14400));
    EXPECT_FALSE(SimStation::ValidInterval(14460));
    EXPECT_FALSE(SimStation::ValidInterval(0));
}

}  // namespace
}  // namespace nimbary::sim
