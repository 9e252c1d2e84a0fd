#include <gtest/gtest.h>

#include "CUsb.h"
#include "ReplayBackend.h"
#include "StationData.h"

using namespace nimbary;

namespace {

// A station answering from a hand-written capture, through the transport.
struct Replayed {
    ReplayBackend backend;
    CUsb usb{backend};
    UnitSet units;
    StationData station{&usb, &units};

    explicit Replayed(const std::string& text) : backend(Parse(text)) {
        EXPECT_EQ(usb.OpenStation(), 1);
    }
    static std::vector<CaptureLine> Parse(const std::string& text) {
        std::vector<CaptureLine> lines;
        std::string error;
        EXPECT_TRUE(ParseCapture(text, lines, error)) << error;
        return lines;
    }
};

}  // namespace

TEST(ReplayStation, SettingsWithBothPressureBitsReadAsInHg) {
    Replayed r(
        "# settings: S3 = 0D (°F, bits 2 and 3), S4 = 01 (m/s), interval 300 s\n"
        "> 03 08 0B\n"
        "< 1B 08 62 00 00 00 00 0D 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 2C 01 00 C0\n");
    ASSERT_EQ(r.station.ReadSettings(), 1);
    EXPECT_EQ(r.station.Settings.BaroUnit, 1);
    EXPECT_EQ(r.units.BaroUnit, 1);
    EXPECT_EQ(r.units.TempUnit, 1);
    EXPECT_EQ(r.station.Settings.RecordInterval, 300);
}

TEST(ReplayStation, CurrentReadingKeepsChannelOneOnly) {
    // Masks FF FF; channel temperatures 20.0, 22.0 ... °F; humidities 50, 51 ...
    Replayed r(
        "> 03 04 07\n"
        "< 4C 04 FF FF 7F 00 00 4C 04 2D 58 22 26 6C 62 27 80 A2 28 94 E2 29 32 33 34 35 36 37 38 "
        "39\n"  // the rest of the first report is zeros
        "< 00 00 00 00 00 00 00 00 00 00 00 74\n");
    ASSERT_EQ(r.station.ReadCurrent(), 1);
    EXPECT_EQ(r.station.Presence.TempMask, 0x01);
    EXPECT_EQ(r.station.Presence.HumiMask, 0x01);
    EXPECT_DOUBLE_EQ(r.station.Current.InTemp, 70.0);
    EXPECT_EQ(r.station.Current.InHumi, 45);
    EXPECT_DOUBLE_EQ(r.station.Current.ChTemp[0], 20.0);
    EXPECT_EQ(r.station.Current.ChHumi[0], 50);
    for (int k = 1; k < kChannels; ++k) {
        EXPECT_DOUBLE_EQ(r.station.Current.ChTemp[k], VAL_INVALID) << k;
        EXPECT_EQ(r.station.Current.ChHumi[k], VAL_INVALID) << k;
    }
}

TEST(ReplayStation, ClearAnsweredWithStatusOneFails) {
    Replayed r("> 04 87 00 8B\n< 04 87 01 8C\n");
    EXPECT_EQ(r.station.ClearRecords(0), 0);
    EXPECT_EQ(r.backend.Matched(), 1);
}

TEST(ReplayStation, WrongCodeFailsAndTheNextRequestStillMatches) {
    Replayed r(
        "> 03 06 09\n"
        "< 24 07 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
        "00 00 00 00 00 00 2B\n"
        "> 03 06 09\n"
        "< 24 06 30 12 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
        "00 00 00 00 00 00 6C\n");
    EXPECT_EQ(r.station.ReadAlarms(), 0);
    ASSERT_EQ(r.station.ReadAlarms(), 1);
    EXPECT_EQ(r.station.Alarms.TimeMinute, 30);
    EXPECT_EQ(r.station.Alarms.TimeHour, 12);
    EXPECT_EQ(r.backend.Matched(), 2);
}
