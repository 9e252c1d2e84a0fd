// The station's side of every command, report by report and byte by byte.
#include <gtest/gtest.h>

#include "SimTestUtil.h"
#include "Units.h"

namespace nimbary::sim {
namespace {

using namespace test;
using Bytes = std::vector<uint8_t>;

Bytes Head(const std::optional<Bytes>& r) {
    if (!r) return {};
    return Bytes(r->begin(), r->begin() + (*r)[0]);
}

TEST(StationProtocol, DeviceInformation) {
    Rig rig;
    auto r = Ask(*rig.dev, {0x01});
    ASSERT_TRUE(r);
    // type 1, 64 blocks, data size 0xFB00, id 0x1A2B3C4D, checksum 0x16
    EXPECT_EQ(Head(r), (Bytes{0x0B, 0x01, 0x01, 0x40, 0x00, 0xFB, 0x4D, 0x3C, 0x2B, 0x1A, 0x16}));
    EXPECT_EQ(r->size(), 64u) << "one report";
}

TEST(StationProtocol, RequestsTheStationCannotReadGetNoReply) {
    Rig rig;
    uint8_t report[kOutputReportSize];
    MakeReport({0x01}, report);
    report[3] ^= 1;  // checksum off
    ASSERT_EQ(rig.dev->Write(report, 50), HidStatus::Ok);
    EXPECT_FALSE(ReadReply(*rig.dev, 50)) << "bad checksum";

    const std::vector<std::vector<uint8_t>> bad = {
        {0x07},                         // no such command
        {0x01, 0x00},                   // right command, wrong length
        {0x02, 0x04},                   // no such memory area
        {0x02, 0x02, 0x00, 0x00, 125},  // more than a two-report reply holds
        {0x09, 0x07, 0x00},             // graph type 7 is not served
        {0x09, 0x03, 0x08},             // channel index 8
        {0x09, 0x06, 0x02},             // wind index 2
        {0x88, 1, 2, 3},                // settings write too short
    };
    for (const auto& body : bad) {
        ASSERT_EQ(Send(*rig.dev, body), HidStatus::Ok);
        EXPECT_FALSE(ReadReply(*rig.dev, 30)) << "command " << int(body[0]);
    }
    // Length byte 0 and 65 are not frames at all.
    for (uint8_t len : {0, 1, 65}) {
        uint8_t r[kOutputReportSize] = {0, len, 0x01};
        ASSERT_EQ(rig.dev->Write(r, 50), HidStatus::Ok);
        EXPECT_FALSE(ReadReply(*rig.dev, 30)) << "length " << int(len);
    }
    EXPECT_TRUE(Ask(*rig.dev, {0x01})) << "still answering";
}

TEST(StationProtocol, MemoryStatusOffsetAndTable) {
    Rig rig;  // one record at noon so far: a rain header and 13 bytes
    EXPECT_EQ(Head(Ask(*rig.dev, {0x02, 0x00})), (Bytes{8, 0x02, 0x00, 1, 1, 25, 0, 0x25}));
    EXPECT_EQ(Head(Ask(*rig.dev, {0x02, 0x03})), (Bytes{6, 0x02, 0x03, 85, 0, 0x60}));
    rig.station->SetPressureOffset(-123);
    EXPECT_EQ(Head(Ask(*rig.dev, {0x02, 0x03})), (Bytes{6, 0x02, 0x03, 0x85, 0xFF, 0x8F}));

    auto r = Ask(*rig.dev, {0x02, 0x01, 0x00, 0x00, 16});
    ASSERT_TRUE(r);
    ASSERT_EQ((*r)[0], 20);
    ASSERT_TRUE(ChecksumOk(*r));
    const uint32_t noon = NoonMarch5();
    EXPECT_EQ(Bytes(r->begin() + 3, r->begin() + 19),
              (Bytes{1, 0x01, 0x01, 0xFF, 0, 0, 0, 0, uint8_t(noon), uint8_t(noon >> 8),
                     uint8_t(noon >> 16), uint8_t(noon >> 24), 0x2C, 0x01, 0, 0}));
}

TEST(StationProtocol, MemoryReadsSpanTwoReportsAndWrapAtM) {
    SimConfig c = FrozenConfig(1);
    c.memory.dataSize = 1000;  // one day of 13-byte records wraps it
    Rig rig(c);
    const Bytes data = rig.station->Memory().Data();

    auto big = Ask(*rig.dev, {0x02, 0x02, 0x10, 0x00, 124});
    ASSERT_TRUE(big);
    ASSERT_EQ(big->size(), 128u) << "two reports";
    EXPECT_EQ((*big)[0], 128);
    EXPECT_TRUE(ChecksumOk(*big));
    EXPECT_EQ(Bytes(big->begin() + 3, big->begin() + 127),
              Bytes(data.begin() + 16, data.begin() + 140));

    // From 990 for 20 bytes: ten at the end of the ring, ten from its start.
    auto wrap = Ask(*rig.dev, {0x02, 0x02, 0xDE, 0x03, 20});
    ASSERT_TRUE(wrap);
    Bytes want(data.begin() + 990, data.end());
    want.insert(want.end(), data.begin(), data.begin() + 10);
    EXPECT_EQ(Bytes(wrap->begin() + 3, wrap->begin() + 23), want);

    auto sixty = Ask(*rig.dev, {0x02, 0x02, 0x00, 0x00, 60});
    ASSERT_TRUE(sixty);
    EXPECT_EQ(sixty->size(), 64u) << "60 data bytes still fit one report";
    EXPECT_EQ((*sixty)[0], 64);
}

TEST(StationProtocol, SettingsReadWriteReadBack) {
    Rig rig;
    auto r = Ask(*rig.dev, {0x08});
    ASSERT_TRUE(r);
    ASSERT_TRUE(ChecksumOk(*r));
    // capability 0x62 plus bit 7 (graphs not read yet), byte 3, then the block
    EXPECT_EQ(
        Bytes(r->begin(), r->begin() + 26),
        (Bytes{0x1B, 0x08, 0xE2, 0x00, 0,    0,    0,    0x02, 0x01, 0x41, 0x01, 0x00, 0x01,
               0x09, 0x01, 0xDE, 0x23, 0x49, 0xD0, 0xC2, 0x4E, 0x53, 0x01, 0x2C, 0x01, 0x53}));

    // Two one-hot bits at once and unlisted bits come back exactly as written.
    const Bytes block = {0xFF, 0x01, 0xF3, 0x0C, 0x30, 0x7F, 0x80, 0x3F, 0x1F, 0xFF, 0xFE,
                         0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x7A, 0xF4, 0x3C, 0x00, 0x94};
    uint8_t report[kOutputReportSize] = {0, 0x19, 0x88};
    unsigned sum = 0x19 + 0x88;
    for (size_t i = 0; i < block.size(); ++i) {
        report[3 + i] = block[i];
        sum += block[i];
    }
    report[1 + 24] = uint8_t(sum);
    ASSERT_EQ(rig.dev->Write(report, 50), HidStatus::Ok);
    EXPECT_EQ(Head(ReadReply(*rig.dev)), (Bytes{4, 0x88, 0, 0x8C}));

    r = Ask(*rig.dev, {0x08});
    ASSERT_TRUE(r);
    EXPECT_EQ(Bytes(r->begin() + 4, r->begin() + 26), block);
    EXPECT_EQ(rig.station->Interval(), 60) << "interval 0x003C = one minute";
}

TEST(StationProtocol, IntervalChangeStartsANewBlock) {
    Rig rig;
    rig.station->AdvanceClock(600);  // records at 12:05 and 12:10
    SettingsBytes s = rig.station->Settings();
    s[19] = 60;
    s[20] = 0;
    rig.station->SetSettings(s);
    rig.station->AdvanceClock(120);
    HistoryMemory m = rig.station->Memory();
    EXPECT_EQ(m.CurrentBlock(), 2);
    EXPECT_EQ(m.Entry(1).count, 3);
    EXPECT_EQ(m.Entry(2).interval, 60);
    EXPECT_EQ(m.Entry(2).time, NoonMarch5() + 660);
    EXPECT_EQ(m.Entry(2).count, 2);

    // An interval the station cannot keep is stored but not used.
    s[19] = 7;
    rig.station->SetSettings(s);
    EXPECT_EQ(rig.station->Settings()[19], 7);
    EXPECT_EQ(rig.station->Interval(), 60);
}

TEST(StationProtocol, SetClock) {
    Rig rig;
    // 12:34:56.990 on 2024-03-05
    EXPECT_EQ(Head(Ask(*rig.dev, {0x83, 0x07, 0x38, 0x22, 0x0C, 0x05, 0x03, 0x18})),
              (Bytes{4, 0x83, 0, 0x87}));
    uint32_t want = 0;
    FromCalendar(2024, 3, 5, 12, 34, 56, want);
    EXPECT_EQ(rig.station->Now(), want);

    // 30 February is refused and the clock stays.
    EXPECT_EQ(Head(Ask(*rig.dev, {0x83, 0, 0, 0, 0, 30, 2, 24})), (Bytes{4, 0x83, 1, 0x88}));
    EXPECT_EQ(rig.station->Now(), want);

    // A fast simulation can acknowledge sets without following them.
    rig.station->SetIgnoreClockSet(true);
    EXPECT_EQ(Head(Ask(*rig.dev, {0x83, 0, 0, 0, 0, 1, 1, 25})), (Bytes{4, 0x83, 0, 0x87}));
    EXPECT_EQ(rig.station->Now(), want);
}

TEST(StationProtocol, AlarmsReadWrite) {
    Rig rig;
    auto r = Ask(*rig.dev, {0x06});
    ASSERT_TRUE(r);
    ASSERT_EQ((*r)[0], 0x24);
    ASSERT_TRUE(ChecksumOk(*r));
    // 07:30, indoor high 80.0 F (code 1200) and low 50.0 F (900), humidity 70/30
    EXPECT_EQ(Bytes(r->begin() + 2, r->begin() + 9), (Bytes{0x30, 0x07, 0xB0, 0x44, 0x38, 70, 30}));
    // rain day high 50.0 mm in A33-A34
    EXPECT_EQ(Le16(*r, 33), 500);

    uint8_t report[kOutputReportSize] = {0, 0x24, 0x86};
    unsigned sum = 0x24 + 0x86;
    for (int i = 0; i < 33; ++i) {
        report[3 + i] = uint8_t(i * 7 + 1);
        sum += report[3 + i];
    }
    report[1 + 35] = uint8_t(sum);
    ASSERT_EQ(rig.dev->Write(report, 50), HidStatus::Ok);
    EXPECT_EQ(Head(ReadReply(*rig.dev)), (Bytes{4, 0x86, 0, 0x8A}));
    r = Ask(*rig.dev, {0x06});
    ASSERT_TRUE(r);
    for (int i = 0; i < 33; ++i) EXPECT_EQ((*r)[2 + i], uint8_t(i * 7 + 1));
}

TEST(StationProtocol, CurrentReadingLayout) {
    Rig rig;
    const StationReading w = rig.station->Current();
    auto r = Ask(*rig.dev, {0x04});
    ASSERT_TRUE(r);
    ASSERT_EQ(r->size(), 128u) << "two reports";
    ASSERT_EQ((*r)[0], 76);
    ASSERT_TRUE(ChecksumOk(*r));
    EXPECT_EQ(Bytes(r->begin() + 1, r->begin() + 7), (Bytes{0x04, 0x01, 0x01, 0x7F, 0, 0}));
    EXPECT_EQ(Le16(*r, 7) & 0xFFF, w.inTemp + 400);
    EXPECT_EQ((*r)[9], w.inHumi);
    EXPECT_EQ(First12(*r, 10), w.chTemp[0] + 400);
    EXPECT_EQ(Second12(*r, 10), 0x7FB) << "channel 2 not fitted";
    EXPECT_EQ(First12(*r, 19), 0x7FB) << "channel 7";
    EXPECT_EQ((*r)[22], w.chHumi[0]);
    EXPECT_EQ((*r)[23], 123);
    EXPECT_EQ(First12(*r, 30), w.chDewPoint[0] + 400);
    EXPECT_EQ(First12(*r, 42), w.chFeelLike[0] + 400);
    EXPECT_EQ(Le16(*r, 54), w.absBaro);
    EXPECT_EQ(Le16(*r, 56), w.absBaro + 85);
    EXPECT_EQ(First12(*r, 58), w.wind);
    EXPECT_EQ(Second12(*r, 58), w.gust);
    EXPECT_EQ(Le16(*r, 61) & 0xFFF, w.windDir);
    EXPECT_EQ(Le16(*r, 63), w.rainHour);
    EXPECT_EQ(Le16(*r, 65), w.rainDay);
    EXPECT_EQ(Le32(*r, 67) & 0xFFFFF, uint32_t(w.rainWeek));
    EXPECT_EQ((Le32(*r, 69) >> 4) & 0xFFFFF, uint32_t(w.rainMonth));
    EXPECT_EQ(Le32(*r, 72) & 0xFFFFF, uint32_t(w.rainTotal));

    // Plausible, and the derived values agree with their inputs.
    EXPECT_GT(w.chHumi[0], 0);
    EXPECT_LE(w.chDewPoint[0], w.chTemp[0]);
    EXPECT_GE(w.gust, w.wind);
}

TEST(StationProtocol, CurrentReadingFollowsPresence) {
    Rig rig;
    rig.station->SetPresence({0x05, 0x04, SQ_IN_TEMP | SQ_PRESSURE, 0xA5, 0x5A});
    auto r = Ask(*rig.dev, {0x04});
    ASSERT_TRUE(r);
    EXPECT_EQ(Bytes(r->begin() + 2, r->begin() + 7), (Bytes{0x05, 0x04, 0x21, 0xA5, 0x5A}));
    EXPECT_EQ((*r)[9], 123) << "indoor humidity absent";
    EXPECT_NE(First12(*r, 13), 0x7FB) << "channel 3 temperature present";
    EXPECT_LT((*r)[24], 122) << "channel 3 humidity present";
    EXPECT_EQ(Second12(*r, 10), 0x7FB) << "channel 2 not fitted";
    EXPECT_EQ(First12(*r, 30), 0x7FB) << "channel 1 has no humidity: no dew point";
    EXPECT_EQ(First12(*r, 42), First12(*r, 10)) << "no wind: feels-like is the temperature";
    EXPECT_NE(First12(*r, 33), 0x7FB) << "channel 3 dew point from temperature and humidity";
    EXPECT_EQ(Second12(*r, 33), 0x7FB) << "no channel 4 dew point";
    EXPECT_EQ(First12(*r, 58), 0x7FB) << "no wind sensor";
    EXPECT_EQ(Le32(*r, 72) & 0xFFFFF, 0u) << "no rain gauge";
}

TEST(StationProtocol, MaxMinAndClear) {
    Rig rig(FrozenConfig(1));
    const MaxMinValues m = rig.station->MaxMin();
    EXPECT_GT(m.chTempMax[0], m.chTempMin[0]) << "a day has a swing";
    auto r = Ask(*rig.dev, {0x05});
    ASSERT_TRUE(r);
    ASSERT_EQ((*r)[0], 116);
    ASSERT_TRUE(ChecksumOk(*r));
    EXPECT_EQ(First12(*r, 2), m.inTempMax + 400);
    EXPECT_EQ(Second12(*r, 2), m.inTempMin + 400);
    EXPECT_EQ((*r)[5], m.inHumiMax);
    EXPECT_EQ((*r)[6], m.inHumiMin);
    EXPECT_EQ(First12(*r, 7), m.chTempMax[0] + 400);
    EXPECT_EQ(Second12(*r, 7), m.chTempMin[0] + 400);
    EXPECT_EQ(First12(*r, 10), 0x7FB) << "channel 2";
    EXPECT_EQ((*r)[31], m.chHumiMax[0]);
    EXPECT_EQ((*r)[32], m.chHumiMin[0]);
    EXPECT_EQ(First12(*r, 47), m.chDewMax[0] + 400);
    EXPECT_EQ(Second12(*r, 71), m.chFeelMin[0] + 400);
    EXPECT_EQ(Le16(*r, 95), m.absMax);
    EXPECT_EQ(Le16(*r, 97), m.absMin);
    EXPECT_EQ(Le16(*r, 99), m.relMax);
    EXPECT_EQ(Le16(*r, 101), m.relMin);
    EXPECT_EQ(First12(*r, 103), m.windMax);
    EXPECT_EQ(Second12(*r, 103), m.gustMax);
    EXPECT_EQ(Le16(*r, 106), m.rainHourMax);
    EXPECT_EQ(Le16(*r, 108), m.rainDayMax);
    EXPECT_EQ(Le32(*r, 110) & 0xFFFFF, uint32_t(m.rainWeekMax));
    EXPECT_EQ((Le32(*r, 112) >> 4) & 0xFFFFF, uint32_t(m.rainMonthMax));

    // Clear 1 resets the max/min values to the present reading.
    EXPECT_EQ(Head(Ask(*rig.dev, {0x87, 0x01})), (Bytes{4, 0x87, 0, 0x8B}));
    const StationReading now = rig.station->Current();
    const MaxMinValues c = rig.station->MaxMin();
    EXPECT_EQ(c.chTempMax[0], now.chTemp[0]);
    EXPECT_EQ(c.chTempMin[0], now.chTemp[0]);
    EXPECT_EQ(c.absMin, now.absBaro);
    EXPECT_GT(rig.station->Memory().UsedSize(), 0) << "history untouched";

    // Clear 0 erases the history memory and nothing else.
    EXPECT_EQ(Head(Ask(*rig.dev, {0x87, 0x00})), (Bytes{4, 0x87, 0, 0x8B}));
    EXPECT_EQ(Head(Ask(*rig.dev, {0x02, 0x00})), (Bytes{8, 0x02, 0x00, 0, 0, 0, 0, 0x0A}));
    EXPECT_EQ(rig.station->MaxMin().chTempMax[0], now.chTemp[0]);
    // Recording goes on into block 1.
    rig.station->AdvanceClock(300);
    EXPECT_EQ(Head(Ask(*rig.dev, {0x02, 0x00})), (Bytes{8, 0x02, 0x00, 1, 1, 25, 0, 0x25}));

    EXPECT_EQ(Head(Ask(*rig.dev, {0x87, 0x02})), (Bytes{4, 0x87, 1, 0x8C})) << "unknown clear";
}

TEST(StationProtocol, GraphSeries) {
    Rig rig(FrozenConfig(3));
    struct Case {
        uint8_t type, index;
        uint8_t length;
    } cases[] = {{1, 0, 65}, {2, 0, 45}, {3, 0, 65}, {4, 0, 45}, {5, 0, 85},
                 {6, 0, 65}, {6, 1, 65}, {8, 0, 85}, {3, 7, 65}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << int(c.type) << " index " << int(c.index));
        const std::vector<int32_t> v = rig.station->GraphValues(c.type, c.index);
        ASSERT_EQ(v.size(), 40u);
        auto r = Ask(*rig.dev, {0x09, c.type, c.index});
        ASSERT_TRUE(r);
        ASSERT_EQ((*r)[0], c.length);
        ASSERT_TRUE(ChecksumOk(*r));
        EXPECT_EQ((*r)[2], c.type);
        EXPECT_EQ((*r)[3], c.index);
        for (int k = 0; k < 40; ++k) {
            uint32_t got = 0, want = 0;
            switch (c.type) {
                case 1:
                case 3:
                    got = k % 2 ? Second12(*r, 4 + 3 * (k / 2)) : First12(*r, 4 + 3 * (k / 2));
                    want = v[k] >= VAL_INVALID ? (v[k] & 0x7FF) : uint32_t(v[k] + 400);
                    break;
                case 6:
                    got = k % 2 ? Second12(*r, 4 + 3 * (k / 2)) : First12(*r, 4 + 3 * (k / 2));
                    want = uint32_t(v[k]);
                    break;
                case 2:
                case 4:
                    got = (*r)[4 + k];
                    want = v[k] >= VAL_INVALID ? (v[k] & 0x7F) : uint32_t(v[k]);
                    break;
                default:
                    got = Le16(*r, 4 + 2 * k);
                    want = uint32_t(v[k]);
                    break;
            }
            EXPECT_EQ(got, want) << "point " << k;
        }
    }
    // Temperatures swing over 72 hours; the newest point is the present reading.
    const std::vector<int32_t> t = rig.station->GraphValues(3, 0);
    EXPECT_GT(*std::max_element(t.begin(), t.end()) - *std::min_element(t.begin(), t.end()), 30);
    const std::vector<int32_t> g = rig.station->GraphValues(6, 1),
                               w = rig.station->GraphValues(6, 0);
    for (int k = 0; k < 40; ++k) EXPECT_GE(g[k], w[k]);
}

// Point i lies i hours back for the first day, then every third hour: the
// program draws point i at that many hours before now.
TEST(StationProtocol, GraphSeriesRunNewestFirstAtTheProgramsHours) {
    Rig rig(FrozenConfig(3));
    const uint32_t now = rig.station->Now();
    const uint32_t end = now - now % 3600;
    const std::vector<int32_t> v = rig.station->GraphValues(5, 0);
    const int hoursBack[] = {1, 2, 24, 27, 72};
    const int index[] = {0, 1, 23, 24, 39};
    for (int j = 0; j < 5; ++j) {
        const uint32_t t = end - uint32_t(hoursBack[j] - 1) * 3600;
        EXPECT_EQ(v[size_t(index[j])], rig.station->ReadingAt(t).relBaro) << hoursBack[j];
    }
}

TEST(StationProtocol, GraphRefreshBit) {
    Rig rig;
    auto cap = [&] { return (*Ask(*rig.dev, {0x08}))[2]; };
    EXPECT_EQ(cap(), 0xE2) << "never read";
    ASSERT_TRUE(Ask(*rig.dev, {0x09, 0x01, 0x00}));
    EXPECT_EQ(cap(), 0x62);
    rig.station->AdvanceClock(72 * 3600 / 40);  // the series moves on by one point
    EXPECT_EQ(cap(), 0xE2);
}

}  // namespace
}  // namespace nimbary::sim
