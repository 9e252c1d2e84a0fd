#include "StationData.h"

#include <gtest/gtest.h>

#include <functional>

#include "CUsb.h"
#include "ScriptedHid.h"

namespace nimbary {
namespace {

using namespace test;

size_t GraphSize(uint8_t type) {
    return type == GRAPH_IN_HUMI || type == GRAPH_CH_HUMI ? 40
           : type == GRAPH_BARO || type == GRAPH_RAIN     ? 80
                                                          : 60;
}

Frame GraphReply(uint8_t type, uint8_t index) {
    return MakeReply(CMD_READ_GRAPH, {type, index}, 4 + GraphSize(type) + 1);
}

class StationDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        station = backend.Add("/dev/hidraw0");
        ASSERT_EQ(usb.OpenStation(), 1);
    }

    void Answer(const Frame& reply) { station->replies.push_back(Reports(reply)); }
    std::vector<uint8_t> Sent(size_t i, size_t n) {
        std::vector<uint8_t> w = station->Written(i);
        w.resize(n);
        return w;
    }

    ScriptedBackend backend;
    std::shared_ptr<DeviceScript> station;
    CUsb usb{backend};
    UnitSet units;
    StationData data{&usb, &units};
};

TEST_F(StationDataTest, ReadsDecodeIntoTheImage) {
    Answer(MakeReply(CMD_READ_INFO, {0x22, 0x10, 0x00, 0xFB, 0x78, 0x56, 0x34, 0x12}));
    StationInfo info;
    ASSERT_EQ(data.ReadDeviceInfo(info), 1);
    EXPECT_EQ(info.DevID, 0x12345678u);

    Answer(MakeReply(CMD_READ_MEMORY, {AREA_BLOCK_TABLE, 7, 8, 9}));
    std::vector<uint8_t> bytes;
    ASSERT_EQ(data.ReadMemory(AREA_BLOCK_TABLE, 0x0100, 3, bytes), 1);
    EXPECT_EQ(Sent(1, 7), (std::vector<uint8_t>{0x07, 0x02, 0x01, 0x00, 0x01, 0x03, 0x0E}));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{7, 8, 9}));

    Answer(MakeReply(CMD_READ_MEMORY, {AREA_STATUS, 1, 5, 0x00, 0xFB}));
    MemoryStatus status;
    ASSERT_EQ(data.ReadMemoryStatus(status), 1);
    EXPECT_EQ(status.CurrentBlock, 5);

    Answer(MakeReply(CMD_READ_MEMORY, {AREA_PRESSURE_OFFSET, 0x10, 0x00}));
    int16_t offset = 0;
    ASSERT_EQ(data.ReadPressureOffset(offset), 1);
    EXPECT_EQ(offset, 16);

    Frame current = MakeReply(CMD_READ_CURRENT, {0xFF, 0xFF, QF_RAIN}, 76);
    current[22 + 1] = 44;  // channel 2 humidity
    Answer(Reseal(current));
    ASSERT_EQ(data.ReadCurrent(), 1);
    EXPECT_EQ(data.Presence.TempMask, 0x01);
    EXPECT_EQ(data.Current.ChHumi[1], VAL_INVALID);
    EXPECT_DOUBLE_EQ(data.Current.Rain[RAIN_DAY], 0.0);

    data.KeepAllChannels = true;
    Answer(current);
    ASSERT_EQ(data.ReadCurrent(), 1);
    EXPECT_EQ(data.Presence.TempMask, 0xFF);
    EXPECT_EQ(data.Current.ChHumi[1], 44);

    Answer(GraphReply(GRAPH_CH_HUMI, 1));
    ASSERT_EQ(data.ReadGraph(GRAPH_CH_HUMI, 1), 1);
    EXPECT_EQ(data.Graph.ChHumi[1][39], 0);
}

// The station reports max/min for all eight channels; the program keeps
// channel 1 only (the current reading's masks say so), so 2-8 stay blank.
TEST_F(StationDataTest, MaxMinKeepsChannelsTwoToEightEmpty) {
    Answer(MakeReply(CMD_READ_CURRENT, {0xFF, 0xFF, 0x7F}, 76));
    ASSERT_EQ(data.ReadCurrent(), 1);
    data.MaxMin.ChTempMax[1] = 50.0;  // left over from before: cleared by the read
    Frame f = MakeReply(CMD_READ_MAXMIN, {}, 116);
    ByteWriter w(f.data(), 115);
    for (int k = 0; k < kChannels; ++k) {
        w.Pair12(7 + 3 * k, 800 + k, 400 + k);
        w.U8(31 + 2 * k, 90 - k);
        w.U8(32 + 2 * k, 10 + k);
        w.Pair12(47 + 3 * k, 700 + k, 300 + k);
        w.Pair12(71 + 3 * k, 850 + k, 350 + k);
    }
    Answer(Reseal(f));
    ASSERT_EQ(data.ReadMaxMin(), 1);
    const MaxMinRecord& m = data.MaxMin;
    EXPECT_DOUBLE_EQ(m.ChTempMax[0], 40.0);
    EXPECT_EQ(m.ChHumiMin[0], 10);
    EXPECT_DOUBLE_EQ(m.ChDewPointMin[0], -10.0);
    EXPECT_DOUBLE_EQ(m.ChFeelLikeMax[0], 45.0);
    for (int k = 1; k < kChannels; ++k) {
        SCOPED_TRACE(k);
        for (double v : {m.ChTempMax[k], m.ChTempMin[k], m.ChDewPointMax[k], m.ChDewPointMin[k],
                         m.ChFeelLikeMax[k], m.ChFeelLikeMin[k]})
            EXPECT_EQ(v, VAL_ABSENT);
        EXPECT_EQ(m.ChHumiMax[k], VAL_ABSENT);
        EXPECT_EQ(m.ChHumiMin[k], VAL_ABSENT);
    }
}

TEST_F(StationDataTest, SettingsReadSetsTheUnitSet) {
    std::vector<uint8_t> block(24, 0);
    block[4 - 2 + 3] = 0x01 | 0x08 | 0x10;  // S3: °F, mmHg, inches
    block[4 - 2 + 4] = 0x04;                // S4: mph
    units.LightUnit = 2;
    Answer(MakeReply(CMD_READ_SETTINGS, block));
    ASSERT_EQ(data.ReadSettings(), 1);
    EXPECT_EQ(units.TempUnit, 1);
    EXPECT_EQ(units.BaroUnit, 2);
    EXPECT_EQ(units.WindUnit, 2);
    EXPECT_EQ(units.RainUnit, 1);
    EXPECT_EQ(units.LightUnit, 0);
}

TEST_F(StationDataTest, WritesAndTheirStatusBytes) {
    Answer(MakeReply(CMD_SET_CLOCK, {0}));
    EXPECT_EQ(data.SetClock(2024, 3, 5, 12, 34, 56, 990), 1);
    EXPECT_EQ(Sent(0, 10),
              (std::vector<uint8_t>{0x0A, 0x83, 0x07, 0x38, 0x22, 0x0C, 0x05, 0x03, 0x18, 0x1A}));

    Answer(MakeReply(CMD_CLEAR, {1}));
    EXPECT_EQ(data.ClearRecords(CLEAR_MAXMIN), 0) << "status 1 although the code matched";
    Answer(MakeReply(CMD_CLEAR, {0}));
    EXPECT_EQ(data.ClearRecords(CLEAR_HISTORY), 1);
    EXPECT_EQ(data.ClearRecords(2), 0);
    EXPECT_EQ(station->writes.size(), 3u) << "an unknown clear is not sent";

    Answer(MakeReply(CMD_WRITE_SETTINGS, {1}));
    EXPECT_EQ(data.WriteSettings(), 0);
    Answer(MakeReply(CMD_WRITE_SETTINGS, {0}));
    EXPECT_EQ(data.WriteSettings(), 1);
    EXPECT_EQ(Sent(4, 2), (std::vector<uint8_t>{0x19, 0x88}));

    Answer(MakeReply(CMD_WRITE_ALARMS, {0xFF}));
    EXPECT_EQ(data.WriteAlarms(), 1) << "no status byte for alarms";
    EXPECT_EQ(Sent(5, 2), (std::vector<uint8_t>{0x24, 0x86}));
}

// Each operation, answered badly, must leave the whole image as it was.
TEST_F(StationDataTest, FailedOperationsLeaveTheImageUnchanged) {
    data.Current.InTemp = 70.0;
    data.Presence.TempMask = 1;
    data.Presence.Flags = 0x7F;
    data.Settings.WindUnit = 3;
    data.Alarms.InTempHigh = 80.0;
    data.Graph.Baro[3] = 1000.0;
    units.TempUnit = 1;

    Frame badSum = MakeReply(CMD_READ_CURRENT, {1, 1, 0x7F}, 76);
    badSum[40] ^= 1;
    Frame shortCurrent = MakeReply(CMD_READ_CURRENT, {1, 1, 0x7F}, 75);
    Frame shortSettings = MakeReply(CMD_READ_SETTINGS, std::vector<uint8_t>(23, 0xFF));
    Frame shortAlarms = MakeReply(CMD_READ_ALARMS, std::vector<uint8_t>(32, 0x11));
    Frame otherGraph = GraphReply(GRAPH_BARO, 0);
    otherGraph[2] = GRAPH_RAIN;
    Reseal(otherGraph);
    Frame shortGraph = MakeReply(CMD_READ_GRAPH, {GRAPH_BARO, 0}, 84);

    const struct {
        const char* name;
        std::function<int()> op;
        std::vector<Input> reply;
    } cases[] = {
        {"current, bad checksum", [&] { return data.ReadCurrent(); }, Reports(badSum)},
        {"current, too short", [&] { return data.ReadCurrent(); }, Reports(shortCurrent)},
        {"current, no answer", [&] { return data.ReadCurrent(); }, {}},
        {"current, second report missing",
         [&] { return data.ReadCurrent(); },
         {Reports(MakeReply(CMD_READ_CURRENT, {}, 76))[0]}},
        {"settings, wrong code", [&] { return data.ReadSettings(); },
         Reports(MakeReply(CMD_READ_ALARMS, std::vector<uint8_t>(24, 0xFF)))},
        {"settings, too short", [&] { return data.ReadSettings(); }, Reports(shortSettings)},
        {"alarms, too short", [&] { return data.ReadAlarms(); }, Reports(shortAlarms)},
        {"graph, other series", [&] { return data.ReadGraph(GRAPH_BARO, 0); }, Reports(otherGraph)},
        {"graph, too short", [&] { return data.ReadGraph(GRAPH_BARO, 0); }, Reports(shortGraph)},
    };
    for (const auto& c : cases) {
        const auto current = RawBytes(data.Current);
        const auto presence = RawBytes(data.Presence);
        const auto settings = RawBytes(data.Settings);
        const auto alarms = RawBytes(data.Alarms);
        const auto graph = RawBytes(data.Graph);
        const auto unitsBefore = RawBytes(units);
        station->replies.push_back(c.reply);

        EXPECT_EQ(c.op(), 0) << c.name;
        EXPECT_EQ(RawBytes(data.Current), current) << c.name;
        EXPECT_EQ(RawBytes(data.Presence), presence) << c.name;
        EXPECT_EQ(RawBytes(data.Settings), settings) << c.name;
        EXPECT_EQ(RawBytes(data.Alarms), alarms) << c.name;
        EXPECT_EQ(RawBytes(data.Graph), graph) << c.name;
        EXPECT_EQ(RawBytes(units), unitsBefore) << c.name;
    }
}

TEST_F(StationDataTest, FailedMaxMinReadLeavesEverythingAbsent) {
    data.MaxMin.InTempMax = 50.0;
    data.MaxMin.ChHumiMin[0] = 20;
    data.MaxMin.RainMax[RAIN_WEEK] = 3.0;
    Frame bad = MakeReply(CMD_READ_MAXMIN, {}, 116);
    bad[115] ^= 1;
    Answer(bad);
    EXPECT_EQ(data.ReadMaxMin(), 0);
    const MaxMinRecord absent;
    EXPECT_EQ(RawBytes(data.MaxMin), RawBytes(absent));
}

TEST_F(StationDataTest, GraphEchoMismatchResynchronises) {
    Frame other = GraphReply(GRAPH_CH_TEMP, 0);
    Answer(other);
    EXPECT_EQ(data.ReadGraph(GRAPH_CH_TEMP, 1), 0);

    station->queued.push_back(Reports(GraphReply(GRAPH_CH_TEMP, 1))[0]);  // its late answer
    station->events.clear();
    Answer(MakeReply(CMD_READ_SETTINGS, std::vector<uint8_t>(24, 0)));
    EXPECT_EQ(data.ReadSettings(), 1);
    EXPECT_EQ(station->events.front(), "R0");
}

TEST_F(StationDataTest, GraphRefreshStopsAtTheFirstFailure) {
    data.Presence.Flags = QF_IN_TEMP | QF_RAIN;
    data.Presence.TempMask = 0x01;
    bool failChannel = false;
    station->responder = [&](const uint8_t* frame) {
        if (failChannel && frame[2] == GRAPH_CH_TEMP) return std::vector<Input>{};
        return Reports(GraphReply(frame[2], frame[3]));
    };
    const auto requested = [&] {
        std::vector<GraphRequest> r;
        for (size_t i = 0; i < station->writes.size(); ++i)
            r.push_back({station->Written(i)[2], station->Written(i)[3]});
        station->writes.clear();
        return r;
    };

    EXPECT_EQ(data.ReadAllGraphs(), 1);
    EXPECT_EQ(requested(), (std::vector<GraphRequest>{{1, 0}, {3, 0}, {8, 0}}));

    failChannel = true;
    EXPECT_EQ(data.ReadAllGraphs(), 0);
    EXPECT_EQ(requested(), (std::vector<GraphRequest>{{1, 0}, {3, 0}}));
}

TEST(StationDataNoTransport, EveryOperationFails) {
    StationData data;
    StationInfo info;
    EXPECT_EQ(data.ReadDeviceInfo(info), 0);
    EXPECT_EQ(data.ReadCurrent(), 0);
    EXPECT_EQ(data.ReadSettings(), 0);
    EXPECT_EQ(data.SetClockNow(), 0);
}

}  // namespace
}  // namespace nimbary
