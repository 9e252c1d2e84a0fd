#include "Protocol.h"

#include <gtest/gtest.h>

#include "Encoding.h"
#include "ScriptedHid.h"

namespace nimbary {
namespace {

using test::Bytes;
using test::MakeReply;
using test::Reseal;

TEST(ProtocolTest, RequestsCarryTheirBytesAndChecksum) {
    Frame f;
    struct Case {
        const char* name;
        std::vector<uint8_t> expected;
        void (*build)(Frame&);
    } cases[] = {
        {"info", {0x03, 0x01, 0x04}, BuildReadInfo},
        {"current", {0x03, 0x04, 0x07}, BuildReadCurrent},
        {"max/min", {0x03, 0x05, 0x08}, BuildReadMaxMin},
        {"alarms", {0x03, 0x06, 0x09}, BuildReadAlarms},
        {"settings", {0x03, 0x08, 0x0B}, BuildReadSettings},
        {"memory status", {0x04, 0x02, 0x00, 0x06}, [](Frame& f) { BuildReadMemory(f, 0, 9, 9); }},
        {"data area",
         {0x07, 0x02, 0x02, 0x34, 0x12, 0x7C, 0xCD},
         [](Frame& f) { BuildReadMemory(f, AREA_DATA, 0x1234, 124); }},
        {"graph", {0x05, 0x09, 0x03, 0x02, 0x13}, [](Frame& f) { BuildReadGraph(f, 3, 2); }},
        {"clear max/min", {0x04, 0x87, 0x01, 0x8C}, [](Frame& f) { BuildClear(f, 1); }},
    };
    for (const Case& c : cases) {
        f.fill(0xEE);
        c.build(f);
        EXPECT_EQ(Bytes(f, c.expected.size()), c.expected) << c.name;
        EXPECT_EQ(f[c.expected.size()], 0) << c.name << ": the rest is zeroed";
    }
}

TEST(ProtocolTest, RequestsTheStationDoesNotServeAreNotBuilt) {
    Frame f;
    EXPECT_FALSE(BuildReadMemory(f, 4, 0, 1));
    EXPECT_FALSE(BuildReadMemory(f, AREA_DATA, 0, 0));
    EXPECT_FALSE(BuildReadMemory(f, AREA_BLOCK_TABLE, 0, 125));
    EXPECT_FALSE(BuildClear(f, 2));
    const GraphRequest refused[] = {{0, 0}, {7, 0}, {9, 0}, {1, 1}, {3, 8}, {4, 8}, {6, 2}, {8, 1}};
    for (const GraphRequest& g : refused)
        EXPECT_FALSE(BuildReadGraph(f, g.type, g.index)) << int(g.type) << "/" << int(g.index);
}

TEST(ProtocolTest, SetClockExample) {
    Frame f;
    BuildSetClock(f, ClockTime{2024, 3, 5, 12, 34, 56, 990});
    EXPECT_EQ(Bytes(f, 10),
              (std::vector<uint8_t>{0x0A, 0x83, 0x07, 0x38, 0x22, 0x0C, 0x05, 0x03, 0x18, 0x1A}));

    const int millis[][2] = {{0, 0}, {62, 0}, {63, 1}, {500, 4}, {937, 7}, {999, 7}, {-5, 0}};
    for (const auto& m : millis) {
        BuildSetClock(f, ClockTime{2024, 1, 1, 0, 0, 0, m[0]});
        EXPECT_EQ(f[2], m[1]) << m[0] << " ms";
    }
}

TEST(ProtocolTest, EnvelopeAcceptsOnlySaneLengthsAndChecksums) {
    Frame f{};
    f[0] = 0;
    EXPECT_FALSE(ReplyValid(f));
    f[0] = 1;
    EXPECT_FALSE(ReplyValid(f));
    f = MakeReply(0x04, {}, 2);
    EXPECT_TRUE(ReplyValid(f));
    f = MakeReply(0x04, {1, 2, 3}, 128);
    EXPECT_TRUE(ReplyValid(f));
    f[0] = 129;
    EXPECT_FALSE(ReplyValid(f));
    f = MakeReply(0x04, {1, 2, 3});
    f[5] ^= 1;
    EXPECT_FALSE(ReplyValid(f));

    f = MakeReply(0x04, {}, 5);
    EXPECT_TRUE(ReplyIs(f, 0x04, 5));
    EXPECT_FALSE(ReplyIs(f, 0x04, 6));
    EXPECT_FALSE(ReplyIs(f, 0x05, 5));

    Frame request{};
    request[0] = 65;
    EXPECT_FALSE(SealRequest(request));
    EXPECT_EQ(request[64], 0);
}

// A current-reading reply with distinct values in every field.
Frame CurrentReply(uint8_t tempMask, uint8_t humiMask, uint8_t flags) {
    Frame f = MakeReply(CMD_READ_CURRENT, {}, 76);
    ByteWriter w(f.data(), 75);
    w.U8(2, tempMask);
    w.U8(3, humiMask);
    w.U8(4, flags);
    w.U8(5, 0xA5);
    w.U8(6, 0x5A);
    w.U16(7, 0xF000 | 1000);  // 60.0 °F, high nibble ignored
    w.U8(9, 45);
    for (int k = 0; k < 8; k += 2) {
        w.Pair12(10 + 3 * k / 2, 500 + k, 501 + k);  // channel temperatures 10.0, 10.1, ...
        w.Pair12(30 + 3 * k / 2, 300 + k, 301 + k);  // dew points
        w.Pair12(42 + 3 * k / 2, 600 + k, 601 + k);  // feels-like
    }
    for (int k = 0; k < 8; ++k) w.U8(22 + k, 50 + k);
    w.U16(54, 10132);
    w.U16(56, 10150);
    w.Pair12(58, 35, 72);  // wind 3.5, gust 7.2
    w.U16(61, 0x7000 | 270);
    w.U16(63, 0x7FFA);  // rain hour: no sentinel test
    w.U16(65, 123);
    w.U8(67, 0xFF);  // week 0xFFFFF, month 0x12345 in the next nibbles
    w.U8(68, 0xFF);
    w.U8(69, 0x5F);
    w.U8(70, 0x34);
    w.U8(71, 0x12);
    w.U8(72, 0x10);  // total 0x00010
    w.U8(73, 0x00);
    w.U8(74, 0xF0);  // high nibble belongs to nothing
    return Reseal(f);
}

TEST(ProtocolTest, CurrentReadingKeepsChannelOneOnly) {
    HistoryRecord c;
    c.Rain[RAIN_EVENT] = 1.5;
    c.Rain[RAIN_RATE] = 2.5;
    c.Rain[RAIN_24HOUR] = 3.5;
    PresenceBlock p;
    ASSERT_TRUE(DecodeCurrent(CurrentReply(0xFF, 0xFF, 0x7F), false, c, p));

    EXPECT_EQ(p.TempMask, 0x01);
    EXPECT_EQ(p.HumiMask, 0x01);
    EXPECT_EQ(p.Flags, 0x7F);
    EXPECT_EQ(p.Status1, 0xA5);
    EXPECT_EQ(p.Status2, 0x5A);
    EXPECT_DOUBLE_EQ(c.InTemp, 60.0);
    EXPECT_EQ(c.InHumi, 45);
    EXPECT_DOUBLE_EQ(c.ChTemp[0], 10.0);
    EXPECT_EQ(c.ChHumi[0], 50);
    EXPECT_DOUBLE_EQ(c.ChDewPoint[0], -10.0);
    EXPECT_DOUBLE_EQ(c.ChFeelLike[0], 20.0);
    for (int k = 1; k < kChannels; ++k) {
        EXPECT_EQ(c.ChTemp[k], VAL_INVALID) << k;
        EXPECT_EQ(c.ChHumi[k], VAL_INVALID) << k;
        EXPECT_EQ(c.ChDewPoint[k], VAL_INVALID) << k;
        EXPECT_EQ(c.ChFeelLike[k], VAL_INVALID) << k;
    }
    EXPECT_DOUBLE_EQ(c.AbsBaro, 1013.2);
    EXPECT_DOUBLE_EQ(c.RelBaro, 1015.0);
    EXPECT_DOUBLE_EQ(c.Wind, 3.5);
    EXPECT_DOUBLE_EQ(c.Gust, 7.2);
    EXPECT_EQ(c.WindDir, 270);
    EXPECT_DOUBLE_EQ(c.Rain[RAIN_HOUR], 3276.2);
    EXPECT_DOUBLE_EQ(c.Rain[RAIN_DAY], 12.3);
    EXPECT_DOUBLE_EQ(c.Rain[RAIN_WEEK], 104857.5);
    EXPECT_DOUBLE_EQ(c.Rain[RAIN_MONTH], 0x12345 / 10.0);
    EXPECT_DOUBLE_EQ(c.Rain[RAIN_TOTAL], 1.6);
    // Not in the reply: untouched.
    EXPECT_DOUBLE_EQ(c.Rain[RAIN_EVENT], 1.5);
    EXPECT_DOUBLE_EQ(c.Rain[RAIN_RATE], 2.5);
    EXPECT_DOUBLE_EQ(c.Rain[RAIN_24HOUR], 3.5);
}

TEST(ProtocolTest, CurrentReadingCanKeepAllChannels) {
    HistoryRecord c;
    PresenceBlock p;
    ASSERT_TRUE(DecodeCurrent(CurrentReply(0xFF, 0xFE, 0), true, c, p));
    EXPECT_EQ(p.TempMask, 0xFF);
    EXPECT_EQ(p.HumiMask, 0xFE);
    for (int k = 0; k < kChannels; ++k) {
        EXPECT_DOUBLE_EQ(c.ChTemp[k], (100 + k) / 10.0) << k;
        EXPECT_EQ(c.ChHumi[k], 50 + k) << k;
        EXPECT_DOUBLE_EQ(c.ChDewPoint[k], (-100 + k) / 10.0) << k;
        EXPECT_DOUBLE_EQ(c.ChFeelLike[k], (200 + k) / 10.0) << k;
    }
}

TEST(ProtocolTest, CurrentReadingWithoutRainFlagInvalidatesRain) {
    HistoryRecord c;
    PresenceBlock p;
    ASSERT_TRUE(DecodeCurrent(CurrentReply(1, 1, 0x3F), false, c, p));
    for (int kind : {RAIN_HOUR, RAIN_DAY, RAIN_WEEK, RAIN_MONTH, RAIN_TOTAL})
        EXPECT_EQ(c.Rain[kind], VAL_INVALID) << kind;
    EXPECT_EQ(c.Rain[RAIN_EVENT], VAL_ABSENT);
    EXPECT_DOUBLE_EQ(c.AbsBaro, 1013.2) << "decoded whatever the flags say";
}

TEST(ProtocolTest, ShortOrForeignCurrentReadingChangesNothing) {
    Frame shortReply = CurrentReply(1, 1, 0x7F);
    shortReply[0] = 75;
    Reseal(shortReply);
    Frame wrongCode = CurrentReply(1, 1, 0x7F);
    wrongCode[1] = CMD_READ_MAXMIN;
    Reseal(wrongCode);
    Frame badSum = CurrentReply(1, 1, 0x7F);
    badSum[20] ^= 0x10;

    for (const Frame* f : {&shortReply, &wrongCode, &badSum}) {
        HistoryRecord c;
        const std::vector<uint8_t> before = test::RawBytes(c);
        PresenceBlock p;
        EXPECT_FALSE(DecodeCurrent(*f, false, c, p));
        EXPECT_EQ(test::RawBytes(c), before);
        EXPECT_EQ(p, PresenceBlock{});
    }
}

Frame MaxMinReply() {
    Frame f = MakeReply(CMD_READ_MAXMIN, {}, 116);
    ByteWriter w(f.data(), 115);
    w.Pair12(2, 900, 500);  // in temp 50.0 / 10.0
    w.U8(5, 70);
    w.U8(6, 20);
    for (int k = 0; k < 8; ++k) {
        w.Pair12(7 + 3 * k, 800 + k, 400 + k);
        w.U8(31 + 2 * k, 90 - k);
        w.U8(32 + 2 * k, 10 + k);
        w.Pair12(47 + 3 * k, 700 + k, 300 + k);
        w.Pair12(71 + 3 * k, 850 + k, 350 + k);
    }
    w.U16(95, 10300);
    w.U16(97, 9900);
    w.U16(99, 10320);
    w.U16(101, 9920);
    w.Pair12(103, 150, 0x7FA);
    w.U16(106, 55);
    w.U16(108, 0xFFFF);
    w.U8(110, 0x21);  // week 0x54321, month 0xABCDE
    w.U8(111, 0x43);
    w.U8(112, 0xE5);
    w.U8(113, 0xCD);
    w.U8(114, 0xAB);
    return Reseal(f);
}

TEST(ProtocolTest, MaxMinDecodesWhatThePresenceNames) {
    PresenceBlock p;
    p.TempMask = 0x05;  // channels 1 and 3
    p.Flags = QF_IN_TEMP | QF_PRESSURE | QF_WIND | QF_RAIN;
    MaxMinRecord m;
    ASSERT_TRUE(DecodeMaxMin(MaxMinReply(), p, m));

    EXPECT_DOUBLE_EQ(m.InTempMax, 50.0);
    EXPECT_DOUBLE_EQ(m.InTempMin, 10.0);
    EXPECT_EQ(m.InHumiMax, VAL_ABSENT) << "flag bit 1 clear";
    for (int k : {0, 2}) {
        EXPECT_DOUBLE_EQ(m.ChTempMax[k], (400 + k) / 10.0) << k;
        EXPECT_DOUBLE_EQ(m.ChTempMin[k], k / 10.0) << k;
        EXPECT_EQ(m.ChHumiMax[k], 90 - k) << k;
        EXPECT_EQ(m.ChHumiMin[k], 10 + k) << k;
        EXPECT_DOUBLE_EQ(m.ChDewPointMax[k], (300 + k) / 10.0) << k;
        EXPECT_DOUBLE_EQ(m.ChFeelLikeMin[k], (-50 + k) / 10.0) << k;
    }
    for (int k : {1, 3, 7}) {
        EXPECT_EQ(m.ChTempMax[k], VAL_ABSENT) << k;
        EXPECT_EQ(m.ChHumiMin[k], VAL_ABSENT) << k;
    }
    EXPECT_DOUBLE_EQ(m.AbsBaroMax, 1030.0);
    EXPECT_DOUBLE_EQ(m.AbsBaroMin, 990.0);
    EXPECT_DOUBLE_EQ(m.RelBaroMax, 1032.0);
    EXPECT_DOUBLE_EQ(m.RelBaroMin, 992.0);
    EXPECT_DOUBLE_EQ(m.WindMax, 15.0);
    EXPECT_EQ(m.GustMax, VAL_INVALID);
    EXPECT_DOUBLE_EQ(m.RainMax[RAIN_HOUR], 5.5);
    EXPECT_DOUBLE_EQ(m.RainMax[RAIN_DAY], 6553.5);
    EXPECT_DOUBLE_EQ(m.RainMax[RAIN_WEEK], 0x54321 / 10.0);
    EXPECT_DOUBLE_EQ(m.RainMax[RAIN_MONTH], 0xABCDE / 10.0);
    for (int kind : {RAIN_EVENT, RAIN_RATE, RAIN_24HOUR, RAIN_TOTAL})
        EXPECT_EQ(m.RainMax[kind], VAL_ABSENT) << kind;

    Frame shortReply = MaxMinReply();
    shortReply[0] = 115;
    MaxMinRecord untouched;
    EXPECT_FALSE(DecodeMaxMin(Reseal(shortReply), p, untouched));
    EXPECT_EQ(untouched.InTempMax, VAL_ABSENT);
}

TEST(ProtocolTest, AlarmFrameDecodesAndEncodesTheSameLayout) {
    // minute 30, hour 07; in temp 90.0/40.0; in humi 80/20; out temp
    // 100.0/-20.0; out humi 90/10; dew 60.0/0.0; feels 110.0/-30.0; abs
    // 1040.0/960.0; rel 1050.0/950.0; wind 20.0, gust 30.0; rain hour 10.0,
    // day 50.0.
    const std::vector<uint8_t> data = {0x30, 0x07, 0x14, 0x05, 0x32, 80,   20,   0x78, 0x85,
                                       0x0C, 90,   10,   0xE8, 0x03, 0x19, 0xDC, 0x45, 0x06,
                                       0xA0, 0x28, 0x80, 0x25, 0x04, 0x29, 0x1C, 0x25, 0xC8,
                                       0xC0, 0x12, 0x64, 0x00, 0xF4, 0x01};
    const Frame reply = MakeReply(CMD_READ_ALARMS, data);
    ASSERT_EQ(reply[0], 0x24);
    AlarmRecord a;
    ASSERT_TRUE(DecodeAlarms(reply, a));
    EXPECT_EQ(a.TimeMinute, 30);
    EXPECT_EQ(a.TimeHour, 7);
    EXPECT_DOUBLE_EQ(a.InTempHigh, 90.0);
    EXPECT_DOUBLE_EQ(a.InTempLow, 40.0);
    EXPECT_EQ(a.InHumiHigh, 80);
    EXPECT_EQ(a.InHumiLow, 20);
    EXPECT_DOUBLE_EQ(a.OutTempHigh, 100.0);
    EXPECT_DOUBLE_EQ(a.OutTempLow, -20.0);
    EXPECT_EQ(a.OutHumiHigh, 90);
    EXPECT_EQ(a.OutHumiLow, 10);
    EXPECT_DOUBLE_EQ(a.DewPointHigh, 60.0);
    EXPECT_DOUBLE_EQ(a.DewPointLow, 0.0);
    EXPECT_DOUBLE_EQ(a.FeelsLikeHigh, 110.0);
    EXPECT_DOUBLE_EQ(a.FeelsLikeLow, -30.0);
    EXPECT_DOUBLE_EQ(a.AbsBaroHigh, 1040.0);
    EXPECT_DOUBLE_EQ(a.AbsBaroLow, 960.0);
    EXPECT_DOUBLE_EQ(a.RelBaroHigh, 1050.0);
    EXPECT_DOUBLE_EQ(a.RelBaroLow, 950.0);
    EXPECT_DOUBLE_EQ(a.WindHigh, 20.0);
    EXPECT_DOUBLE_EQ(a.GustHigh, 30.0);
    EXPECT_DOUBLE_EQ(a.RainHourHigh, 10.0);
    EXPECT_DOUBLE_EQ(a.RainDayHigh, 50.0);

    Frame request;
    BuildWriteAlarms(request, a);
    EXPECT_EQ(request[1], CMD_WRITE_ALARMS);
    request[1] = CMD_READ_ALARMS;
    Reseal(request);
    EXPECT_EQ(Bytes(request, 36), Bytes(reply, 36)) << "everything but the code";
}

Frame SettingsReply() {
    const std::vector<uint8_t> data = {0xE2, 0x00,  // capability, unused byte
                                       0xA5, 0x5A, 0xF3, 0x1D, 0x08, 0x34, 0xC0, 0xC1,  // S0..S7
                                       0x10, 0xFA, 0xFF,                                // S8..S10
                                       0x8A, 0x82, 0x3E, 0x90, 0x41, 0x38,  // colour limits
                                       0x7A, 0xFB, 0x2C, 0x01, 0x93};       // S17..S21
    return MakeReply(CMD_READ_SETTINGS, data);
}

// The write test below checks every field's bits: what is decoded here is
// written back bit for bit.
TEST(ProtocolTest, SettingsDecodeCapabilityAndUnits) {
    StationSettings s;
    ASSERT_TRUE(DecodeSettings(SettingsReply(), s));
    EXPECT_EQ(s.Capability, 0xE2);
    EXPECT_EQ(s.Region, 2);
    EXPECT_TRUE(s.HasTimeOptions && s.HasForecast && s.GraphRefresh);
    EXPECT_EQ(s.BaroUnit, 1) << "S3 bits 2 and 3: the lowest wins";
    EXPECT_EQ(s.TimeZone, -5);
    EXPECT_EQ(s.RecordInterval, 300);
    EXPECT_DOUBLE_EQ(s.ColorInLower, 25.0);

    UnitSet units;
    units.LightUnit = 2;
    CopyUnits(s, units);
    EXPECT_EQ(units.TempUnit, 1);
    EXPECT_EQ(units.BaroUnit, 1);
    EXPECT_EQ(units.WindUnit, 3);
    EXPECT_EQ(units.RainUnit, 1);
    EXPECT_EQ(units.LightUnit, 0);
}

TEST(ProtocolTest, OneHotReadIgnoresTheBitOfValueZero) {
    const struct {
        uint8_t s4;
        int32_t wind;
    } cases[] = {{0x00, 0}, {0x01, 0}, {0x02, 1}, {0x11, 4}, {0x06, 1}, {0xE0, 0}};
    for (const auto& c : cases) {
        Frame f = SettingsReply();
        f[4 + 4] = c.s4;
        StationSettings s;
        ASSERT_TRUE(DecodeSettings(Reseal(f), s));
        EXPECT_EQ(s.WindUnit, c.wind) << int(c.s4);
    }
}

TEST(ProtocolTest, SettingsWriteSetsOnlyListedBits) {
    StationSettings s;
    ASSERT_TRUE(DecodeSettings(SettingsReply(), s));
    Frame f;
    BuildWriteSettings(f, s);
    const std::vector<uint8_t> expected = {0x19, 0x88, 0xA5, 0x5A, 0xF3, 0x15, 0x08, 0x34,
                                           0xC0, 0xC0, 0x10, 0xFA, 0x01, 0x8A, 0x82, 0x3E,
                                           0x90, 0x41, 0x38, 0x7A, 0xFB, 0x2C, 0x01, 0x93};
    EXPECT_EQ(Bytes(f, 24), expected);
    EXPECT_EQ(f[24], Checksum(f.data(), 24));

    // Value 0 sets a one-hot field's first bit; date format 0 sets bit 6; a
    // unit code outside its list goes out as 0 instead of touching the next
    // field's bit.
    StationSettings zero;
    zero.BaroUnit = 3;
    zero.WindUnit = -1;
    zero.ColorInLower = zero.ColorInUpper = zero.ColorOutLower = zero.ColorOutUpper = -40.0;
    BuildWriteSettings(f, zero);
    const std::vector<uint8_t> block = {0, 0, 0, 0x02, 0x01, 0x41, 0x01, 0x00, 0x01, 0x01, 0x00,
                                        0, 0, 0, 0,    0,    0,    0,    0,    0,    0,    0};
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + 2, f.begin() + 24), block);
}

TEST(ProtocolTest, GraphSeriesLandInTheirArrays) {
    GraphSeries g;
    const auto reply = [](uint8_t type, uint8_t index, size_t size) {
        Frame f = MakeReply(CMD_READ_GRAPH, {type, index}, 4 + size + 1);
        ByteWriter w(f.data() + 4, size);
        for (int i = 0; i < kGraphPoints; ++i) {
            if (size == 60 && i % 2 == 0) w.Pair12(3 * (i / 2), 400 + i, 401 + i);
            if (size == 40) w.U8(i, 10 + i);
            if (size == 80) w.U16(2 * i, 10000 + i);
        }
        return Reseal(f);
    };
    ASSERT_TRUE(DecodeGraph(reply(GRAPH_IN_TEMP, 0, 60), GRAPH_IN_TEMP, 0, g));
    ASSERT_TRUE(DecodeGraph(reply(GRAPH_CH_HUMI, 5, 40), GRAPH_CH_HUMI, 5, g));
    ASSERT_TRUE(DecodeGraph(reply(GRAPH_BARO, 0, 80), GRAPH_BARO, 0, g));
    ASSERT_TRUE(DecodeGraph(reply(GRAPH_WIND, 1, 60), GRAPH_WIND, 1, g));
    for (int i = 0; i < kGraphPoints; ++i) {
        EXPECT_DOUBLE_EQ(g.InTemp[i], i / 10.0) << i;
        EXPECT_EQ(g.ChHumi[5][i], 10 + i) << i;
        EXPECT_DOUBLE_EQ(g.Baro[i], (10000 + i) / 10.0) << i;
        EXPECT_DOUBLE_EQ(g.Gust[i], (400 + i) / 10.0) << i;
    }
    EXPECT_EQ(g.Wind[0], VAL_ABSENT);
    EXPECT_EQ(g.ChHumi[4][0], VAL_ABSENT);
    EXPECT_EQ(g.Rain[0], VAL_ABSENT);

    // Indoor humidity (type 2), a channel's temperature (type 3) and rain
    // (type 8), each with sentinel codes among its points.
    Frame humi = reply(GRAPH_IN_HUMI, 0, 40);
    humi[4 + 3] = 122;  // invalid
    humi[4 + 4] = 123;  // absent
    Frame temp = reply(GRAPH_CH_TEMP, 2, 60);
    ByteWriter(temp.data() + 4, 60).Pair12(3 * 3, 0x7FB, 0x7FC);  // points 6, 7: absent, low
    Frame rain = reply(GRAPH_RAIN, 0, 80);
    ByteWriter(rain.data() + 4, 80).U16(2 * 39, 0x7FFA);  // the oldest point: invalid
    ASSERT_TRUE(DecodeGraph(Reseal(humi), GRAPH_IN_HUMI, 0, g));
    ASSERT_TRUE(DecodeGraph(Reseal(temp), GRAPH_CH_TEMP, 2, g));
    ASSERT_TRUE(DecodeGraph(Reseal(rain), GRAPH_RAIN, 0, g));
    for (int i = 0; i < kGraphPoints; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(g.InHumi[i], i == 3 ? VAL_INVALID : i == 4 ? VAL_ABSENT : 10 + i);
        EXPECT_DOUBLE_EQ(g.ChTemp[2][i], i == 6 ? VAL_ABSENT : i == 7 ? VAL_LOW : i / 10.0);
        EXPECT_DOUBLE_EQ(g.Rain[i], i == 39 ? VAL_INVALID : (10000 + i) / 10.0);
    }
    EXPECT_EQ(g.ChTemp[1][0], VAL_ABSENT);  // only the channel asked for

    // Another series' reply, or one cut short, changes nothing.
    GraphSeries untouched;
    EXPECT_FALSE(DecodeGraph(reply(GRAPH_CH_TEMP, 1, 60), GRAPH_CH_TEMP, 2, untouched));
    Frame shortReply = reply(GRAPH_RAIN, 0, 80);
    shortReply[0] = 84;
    EXPECT_FALSE(DecodeGraph(Reseal(shortReply), GRAPH_RAIN, 0, untouched));
    EXPECT_EQ(untouched.Rain[0], VAL_ABSENT);
    EXPECT_EQ(untouched.ChTemp[2][0], VAL_ABSENT);
}

TEST(ProtocolTest, GraphRefreshOrder) {
    PresenceBlock p;
    p.TempMask = 0x05;
    p.HumiMask = 0x04;
    p.Flags = 0x7F;
    const std::vector<GraphRequest> expected = {{1, 0}, {2, 0}, {3, 0}, {3, 2}, {4, 2},
                                                {5, 0}, {6, 0}, {6, 1}, {8, 0}};
    EXPECT_EQ(GraphRefreshOrder(p), expected);

    p.TempMask = p.HumiMask = 0;
    p.Flags = QF_GUST | QF_WIND_DIR;
    EXPECT_EQ(GraphRefreshOrder(p), (std::vector<GraphRequest>{{6, 1}}));
}

TEST(ProtocolTest, DeviceInfoAndMemoryReplies) {
    StationInfo info;
    ASSERT_TRUE(DecodeDeviceInfo(
        MakeReply(CMD_READ_INFO, {0x22, 0x10, 0x00, 0xFB, 0x78, 0x56, 0x34, 0x12}), info));
    EXPECT_EQ(info.Type, 0x22);
    EXPECT_EQ(info.Blocks, 0x10);
    EXPECT_EQ(info.DataSize, 0xFB00);
    EXPECT_EQ(info.DevID, 0x12345678u);
    StationInfo untouched;
    EXPECT_FALSE(DecodeDeviceInfo(MakeReply(CMD_READ_INFO, {0x22, 0x10, 0x00, 0xFB}), untouched));
    EXPECT_EQ(untouched.DevID, 0u);

    MemoryStatus status;
    ASSERT_TRUE(DecodeMemoryStatus(MakeReply(CMD_READ_MEMORY, {0, 3, 9, 0x00, 0xFB}), status));
    EXPECT_EQ(status.FirstBlock, 3);
    EXPECT_EQ(status.CurrentBlock, 9);
    EXPECT_EQ(status.DataSize, 0xFB00);

    int16_t offset = 0;
    ASSERT_TRUE(DecodePressureOffset(MakeReply(CMD_READ_MEMORY, {3, 0xFE, 0xFF}), offset));
    EXPECT_EQ(offset, -2);
    EXPECT_FALSE(DecodePressureOffset(MakeReply(CMD_READ_MEMORY, {0, 0xFE, 0xFF}), offset))
        << "area echo";

    std::vector<uint8_t> data = {0xEE};
    EXPECT_TRUE(DecodeMemory(MakeReply(CMD_READ_MEMORY, {2, 1, 2, 3, 4, 5, 6}), 2, 4, data));
    EXPECT_EQ(data, (std::vector<uint8_t>{1, 2, 3, 4})) << "exactly the count asked for";
    data = {0xEE};
    EXPECT_FALSE(DecodeMemory(MakeReply(CMD_READ_MEMORY, {2, 1, 2, 3}), 2, 4, data));
    EXPECT_FALSE(DecodeMemory(MakeReply(CMD_READ_MEMORY, {1, 1, 2, 3, 4}), 2, 4, data));
    EXPECT_EQ(data, std::vector<uint8_t>{0xEE});
    EXPECT_TRUE(DecodeMemory(MakeReply(CMD_READ_MEMORY, {0, 3, 9, 0x00, 0xFB}), 0, 0, data));
    EXPECT_EQ(data, (std::vector<uint8_t>{3, 9, 0x00, 0xFB}));
}

}  // namespace
}  // namespace nimbary
