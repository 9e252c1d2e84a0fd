// Every StationData operation through the real transport against the
// simulated station: what is read back is what the station holds, and each
// fault fails its operation while the next exchange goes through.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "CUsb.h"
#include "SimTestUtil.h"
#include "StationData.h"
#include "Units.h"

namespace nimbary::sim {
namespace {

using namespace test;
using Bytes = std::vector<uint8_t>;

constexpr double kEps = 1e-9;

double Tenth(int32_t v) {
    return v >= VAL_INVALID ? double(v) : v / 10.0;
}

struct Link {
    std::shared_ptr<SimStation> station;
    SimBackend backend;
    CUsb usb;
    UnitSet units;
    StationData sd;

    explicit Link(const SimConfig& c = FrozenConfig(3))
        : station(std::make_shared<SimStation>(c)),
          backend(station),
          usb(backend),
          sd(&usb, &units) {
        backend.Watch({[this](const std::string&) { usb.OpenStation(); },
                       [this](const std::string& p) { usb.OnRemoval(p); }});
        EXPECT_EQ(usb.OpenStation(), 1);
    }
};

TEST(EndToEnd, InformationMemoryAndOffset) {
    Link l;
    StationInfo info;
    ASSERT_EQ(l.sd.ReadDeviceInfo(info), 1);
    EXPECT_EQ(info.Type, 1);
    EXPECT_EQ(info.Blocks, 64);
    EXPECT_EQ(info.DataSize, 64256);
    EXPECT_EQ(info.DevID, 0x1A2B3C4Du);

    const HistoryMemory m = l.station->Memory();
    MemoryStatus st;
    ASSERT_EQ(l.sd.ReadMemoryStatus(st), 1);
    EXPECT_EQ(st.FirstBlock, m.FirstBlock());
    EXPECT_EQ(st.CurrentBlock, m.CurrentBlock());
    EXPECT_EQ(st.DataSize, m.UsedSize());

    int16_t offset = 0;
    ASSERT_EQ(l.sd.ReadPressureOffset(offset), 1);
    EXPECT_EQ(offset, 85);

    // The block table and the start of the data area, in chunks of 124 as
    // the download and the dump read them.
    Bytes table, data, chunk;
    for (int a = 0; a < 1024; a += 124) {
        const uint8_t n = uint8_t(std::min(124, 1024 - a));
        ASSERT_EQ(l.sd.ReadMemory(1, uint16_t(a), n, chunk), 1);
        ASSERT_EQ(chunk.size(), n);
        table.insert(table.end(), chunk.begin(), chunk.end());
    }
    EXPECT_EQ(table, m.Table());
    for (int a = 0; a < 4000; a += 124) {
        ASSERT_EQ(l.sd.ReadMemory(2, uint16_t(a), 124, chunk), 1);
        data.insert(data.end(), chunk.begin(), chunk.end());
    }
    EXPECT_EQ(data, Bytes(m.Data().begin(), m.Data().begin() + data.size()));
}

TEST(EndToEnd, CurrentReadingMaxMinAndGraphs) {
    Link l;
    const StationReading w = l.station->Current();
    ASSERT_EQ(l.sd.ReadCurrent(), 1);
    const HistoryRecord& c = l.sd.Current;
    EXPECT_EQ(l.sd.Presence.TempMask, 0x01);
    EXPECT_EQ(l.sd.Presence.HumiMask, 0x01);
    EXPECT_EQ(l.sd.Presence.Flags, 0x7F);
    EXPECT_NEAR(c.InTemp, Tenth(w.inTemp), kEps);
    EXPECT_EQ(c.InHumi, w.inHumi);
    EXPECT_NEAR(c.ChTemp[0], Tenth(w.chTemp[0]), kEps);
    EXPECT_EQ(c.ChHumi[0], w.chHumi[0]);
    EXPECT_NEAR(c.ChDewPoint[0], Tenth(w.chDewPoint[0]), kEps);
    EXPECT_NEAR(c.ChFeelLike[0], Tenth(w.chFeelLike[0]), kEps);
    EXPECT_EQ(c.ChTemp[1], VAL_INVALID) << "the program shows channel 1 only";
    EXPECT_NEAR(c.AbsBaro, Tenth(w.absBaro), kEps);
    EXPECT_NEAR(c.RelBaro, Tenth(w.relBaro), kEps);
    EXPECT_NEAR(c.Wind, Tenth(w.wind), kEps);
    EXPECT_NEAR(c.Gust, Tenth(w.gust), kEps);
    EXPECT_EQ(c.WindDir, w.windDir);
    EXPECT_NEAR(c.Rain[RAIN_HOUR], Tenth(w.rainHour), kEps);
    EXPECT_NEAR(c.Rain[RAIN_DAY], Tenth(w.rainDay), kEps);
    EXPECT_NEAR(c.Rain[RAIN_WEEK], Tenth(w.rainWeek), kEps);
    EXPECT_NEAR(c.Rain[RAIN_MONTH], Tenth(w.rainMonth), kEps);
    EXPECT_NEAR(c.Rain[RAIN_TOTAL], Tenth(w.rainTotal), kEps);

    const MaxMinValues m = l.station->MaxMin();
    ASSERT_EQ(l.sd.ReadMaxMin(), 1);
    const MaxMinRecord& x = l.sd.MaxMin;
    EXPECT_NEAR(x.InTempMax, Tenth(m.inTempMax), kEps);
    EXPECT_NEAR(x.InTempMin, Tenth(m.inTempMin), kEps);
    EXPECT_EQ(x.InHumiMax, m.inHumiMax);
    EXPECT_NEAR(x.ChTempMax[0], Tenth(m.chTempMax[0]), kEps);
    EXPECT_NEAR(x.ChTempMin[0], Tenth(m.chTempMin[0]), kEps);
    EXPECT_EQ(x.ChHumiMin[0], m.chHumiMin[0]);
    EXPECT_NEAR(x.ChDewPointMax[0], Tenth(m.chDewMax[0]), kEps);
    EXPECT_NEAR(x.ChFeelLikeMin[0], Tenth(m.chFeelMin[0]), kEps);
    EXPECT_EQ(x.ChTempMax[1], VAL_ABSENT) << "channel 2 is not in the mask";
    EXPECT_NEAR(x.AbsBaroMax, Tenth(m.absMax), kEps);
    EXPECT_NEAR(x.RelBaroMin, Tenth(m.relMin), kEps);
    EXPECT_NEAR(x.WindMax, Tenth(m.windMax), kEps);
    EXPECT_NEAR(x.GustMax, Tenth(m.gustMax), kEps);
    EXPECT_NEAR(x.RainMax[RAIN_HOUR], Tenth(m.rainHourMax), kEps);
    EXPECT_NEAR(x.RainMax[RAIN_DAY], Tenth(m.rainDayMax), kEps);
    EXPECT_NEAR(x.RainMax[RAIN_WEEK], Tenth(m.rainWeekMax), kEps);
    EXPECT_NEAR(x.RainMax[RAIN_MONTH], Tenth(m.rainMonthMax), kEps);

    ASSERT_EQ(l.sd.ReadAllGraphs(), 1);
    const GraphSeries& g = l.sd.Graph;
    const auto inT = l.station->GraphValues(1, 0), inH = l.station->GraphValues(2, 0),
               chT = l.station->GraphValues(3, 0), chH = l.station->GraphValues(4, 0),
               baro = l.station->GraphValues(5, 0), wind = l.station->GraphValues(6, 0),
               gust = l.station->GraphValues(6, 1), rain = l.station->GraphValues(8, 0);
    for (int k = 0; k < 40; ++k) {
        SCOPED_TRACE(k);
        EXPECT_NEAR(g.InTemp[k], Tenth(inT[k]), kEps);
        EXPECT_EQ(g.InHumi[k], inH[k]);
        EXPECT_NEAR(g.ChTemp[0][k], Tenth(chT[k]), kEps);
        EXPECT_EQ(g.ChHumi[0][k], chH[k]);
        EXPECT_NEAR(g.Baro[k], Tenth(baro[k]), kEps);
        EXPECT_NEAR(g.Wind[k], Tenth(wind[k]), kEps);
        EXPECT_NEAR(g.Gust[k], Tenth(gust[k]), kEps);
        EXPECT_NEAR(g.Rain[k], Tenth(rain[k]), kEps);
    }
}

TEST(EndToEnd, SettingsAlarmsClockAndClears) {
    Link l;
    ASSERT_EQ(l.sd.ReadSettings(), 1);
    StationSettings& s = l.sd.Settings;
    EXPECT_EQ(s.Region, 2);
    EXPECT_TRUE(s.HasTimeOptions);
    EXPECT_TRUE(s.HasForecast);
    EXPECT_TRUE(s.GraphRefresh);
    EXPECT_EQ(s.TempUnit, 0);
    EXPECT_EQ(s.BaroUnit, 0);
    EXPECT_EQ(s.WindUnit, 0);
    EXPECT_EQ(s.DateFormat, 0);
    EXPECT_EQ(s.RecordInterval, 300);
    EXPECT_EQ(s.TimeZone, 1);
    EXPECT_EQ(s.UserColor, 3);
    EXPECT_EQ(s.Brightness, 5);
    EXPECT_NEAR(s.ColorInLower, 59.0, kEps);
    EXPECT_NEAR(s.ColorOutUpper, 86.0, kEps);
    EXPECT_EQ(s.ForecastWeather, 3);
    EXPECT_EQ(s.ForecastStorm, 5);

    s.TempUnit = 1;
    s.BaroUnit = 2;
    s.WindUnit = 4;
    s.TimeZone = -5;
    s.RecordInterval = 60;
    s.DateFormat = 1;
    ASSERT_EQ(l.sd.WriteSettings(), 1);
    const SettingsBytes b = l.station->Settings();
    EXPECT_EQ(b[3], 0x09) << "°F and the mmHg bit";
    EXPECT_EQ(b[4], 0x10) << "bft";
    EXPECT_EQ(b[5] & 0x60, 0x20) << "MM-DD";
    EXPECT_EQ(b[18], 0xFB);
    EXPECT_EQ(l.station->Interval(), 60);
    StationSettings before = s;
    ASSERT_EQ(l.sd.ReadSettings(), 1);
    EXPECT_EQ(s.BaroUnit, 2);
    EXPECT_EQ(s.WindUnit, 4);
    EXPECT_EQ(s.TimeZone, -5);
    EXPECT_EQ(s.RecordInterval, 60);
    EXPECT_EQ(s.DateFormat, before.DateFormat);
    EXPECT_EQ(l.units.BaroUnit, 2) << "the units follow the station";

    ASSERT_EQ(l.sd.ReadAlarms(), 1);
    AlarmRecord& a = l.sd.Alarms;
    EXPECT_EQ(a.TimeHour, 7);
    EXPECT_EQ(a.TimeMinute, 30);
    EXPECT_NEAR(a.InTempHigh, 80.0, kEps);
    EXPECT_NEAR(a.InTempLow, 50.0, kEps);
    EXPECT_EQ(a.OutHumiHigh, 90);
    EXPECT_NEAR(a.AbsBaroLow, 960.0, kEps);
    EXPECT_NEAR(a.GustHigh, 25.0, kEps);
    EXPECT_NEAR(a.RainDayHigh, 50.0, kEps);
    a.InTempHigh = 85.5;  // code 1255 = 0x4E7
    a.TimeHour = 23;
    ASSERT_EQ(l.sd.WriteAlarms(), 1);
    const AlarmBytes ab = l.station->Alarms();
    EXPECT_EQ(ab[1], 0x23) << "BCD hour";
    EXPECT_EQ(ab[2], 0xE7);
    EXPECT_EQ(ab[3] & 0x0F, 0x4);
    a = AlarmRecord{};
    ASSERT_EQ(l.sd.ReadAlarms(), 1);
    EXPECT_NEAR(a.InTempHigh, 85.5, kEps);

    ASSERT_EQ(l.sd.SetClock(2024, 3, 6, 8, 15, 30, 990), 1);
    uint32_t t = 0;
    FromCalendar(2024, 3, 6, 8, 15, 30, t);
    EXPECT_EQ(l.station->Now(), t);

    ASSERT_EQ(l.sd.ClearRecords(1), 1);
    const MaxMinValues m = l.station->MaxMin();
    EXPECT_EQ(m.chTempMax[0], m.chTempMin[0]);
    ASSERT_EQ(l.sd.ClearRecords(0), 1);
    MemoryStatus st;
    ASSERT_EQ(l.sd.ReadMemoryStatus(st), 1);
    EXPECT_EQ(st.FirstBlock, 0);
    EXPECT_EQ(st.CurrentBlock, 0);
    EXPECT_EQ(st.DataSize, 0);
}

TEST(EndToEnd, TheTransportSkipsDecoysAndFollowsPlugging) {
    auto station = std::make_shared<SimStation>(FrozenConfig());
    SimBackend backend(station);
    backend.AddDecoy(DecoyKind::WrongVersion);
    backend.AddDecoy(DecoyKind::Unopenable);
    CUsb usb(backend);
    StationData sd(&usb);
    std::atomic<int> opens{0};
    backend.Watch({[&](const std::string&) { opens += usb.OpenStation(); },
                   [&](const std::string& p) { usb.OnRemoval(p); }});
    ASSERT_EQ(usb.OpenStation(), 1);
    StationInfo info;
    EXPECT_EQ(sd.ReadDeviceInfo(info), 1);

    backend.AddDecoy(DecoyKind::OtherProduct);  // any arrival reopens the station
    backend.WaitForNotices();
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(sd.ReadDeviceInfo(info), 1);

    backend.Unplug();
    backend.WaitForNotices();
    EXPECT_EQ(usb.Connected(), 0);
    EXPECT_EQ(sd.ReadDeviceInfo(info), 0);
    backend.Plug();
    backend.WaitForNotices();
    EXPECT_EQ(usb.Connected(), 1);
    EXPECT_EQ(sd.ReadDeviceInfo(info), 1);
}

// One fault, the operation it spoils, and how to tell the operation did not
// take anything from the spoiled reply.
struct FaultCase {
    Fault fault;
    const char* op;
    std::function<int(StationData&)> run;
};

TEST(EndToEnd, EachFaultFailsItsOperationAndTheNextExchangeSucceeds) {
    StationInfo info;
    MemoryStatus status;
    const std::vector<FaultCase> cases = {
        {Fault::NoReply, "ReadDeviceInfo", [&](StationData& d) { return d.ReadDeviceInfo(info); }},
        {Fault::LateReply, "ReadDeviceInfo",
         [&](StationData& d) { return d.ReadDeviceInfo(info); }},
        {Fault::WrongCode, "ReadSettings", [](StationData& d) { return d.ReadSettings(); }},
        {Fault::BadChecksum, "ReadCurrent", [](StationData& d) { return d.ReadCurrent(); }},
        {Fault::Length0, "ReadCurrent", [](StationData& d) { return d.ReadCurrent(); }},
        {Fault::Length1, "ReadAlarms", [](StationData& d) { return d.ReadAlarms(); }},
        {Fault::Length65NoSecond, "ReadSettings", [](StationData& d) { return d.ReadSettings(); }},
        {Fault::Length129, "ReadSettings", [](StationData& d) { return d.ReadSettings(); }},
        {Fault::MissingSecondReport, "ReadMaxMin", [](StationData& d) { return d.ReadMaxMin(); }},
        {Fault::StaleReports, "ReadCurrent", [](StationData& d) { return d.ReadCurrent(); }},
        {Fault::WrongEcho, "ReadMemoryStatus",
         [&](StationData& d) { return d.ReadMemoryStatus(status); }},
        {Fault::WrongEcho, "ReadGraph", [](StationData& d) { return d.ReadGraph(1, 0); }},
        {Fault::WrongStatus, "ClearRecords", [](StationData& d) { return d.ClearRecords(1); }},
        {Fault::WrongStatus, "WriteSettings", [](StationData& d) { return d.WriteSettings(); }},
        {Fault::WrongStatus, "SetClock",
         [](StationData& d) { return d.SetClock(2024, 1, 1, 0, 0, 0, 0); }},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(std::string(FaultName(c.fault)) + " on " + c.op);
        Link l(FrozenConfig(0));
        l.backend.Faults().SetLateDelayMs(1400);  // past the transport's 1200 ms
        ASSERT_EQ(l.sd.ReadSettings(), 1);
        l.sd.Current.InTemp = 1234.5;  // a mark no reply can carry
        l.sd.Settings.TimeZone = 99;
        l.sd.Alarms.TimeHour = 99;

        l.backend.Faults().Add(c.fault);
        EXPECT_EQ(c.run(l.sd), 0);
        EXPECT_EQ(l.backend.Faults().Fired(c.fault), 1);
        EXPECT_EQ(l.sd.Current.InTemp, 1234.5) << "a failed read changes nothing";
        EXPECT_EQ(l.sd.Settings.TimeZone, 99);
        EXPECT_EQ(l.sd.Alarms.TimeHour, 99);
        if (c.fault == Fault::LateReply)
            std::this_thread::sleep_for(std::chrono::milliseconds(300));

        // The next exchanges, of another command and of the same one, are clean.
        EXPECT_EQ(l.sd.ReadSettings(), 1);
        EXPECT_EQ(l.sd.Settings.TimeZone, 1);
        EXPECT_EQ(l.sd.ReadDeviceInfo(info), 1);
        EXPECT_EQ(info.DevID, 0x1A2B3C4Du);
        EXPECT_EQ(c.run(l.sd), 1);
        EXPECT_EQ(l.backend.Faults().TotalFired(), 1);
    }
}

TEST(EndToEnd, UnplugInTheMiddleOfAnExchange) {
    Link l;
    StationInfo info;
    l.backend.Faults().Add(Fault::UnplugMidExchange);
    EXPECT_EQ(l.sd.ReadCurrent(), 0);
    l.backend.WaitForNotices();
    EXPECT_EQ(l.usb.Connected(), 0);
    EXPECT_EQ(l.sd.ReadDeviceInfo(info), 0) << "no device held";
    l.backend.Plug();
    l.backend.WaitForNotices();
    EXPECT_EQ(l.usb.Connected(), 1);
    EXPECT_EQ(l.sd.ReadCurrent(), 1);
}

}  // namespace
}  // namespace nimbary::sim
