#include <gtest/gtest.h>

#include <map>

#include "Format.h"
#include "MemoryMonitor.h"
#include "SimRig.h"

using namespace nimbary;
using nimbary::test::HandImage;
using nimbary::test::SimRig;
using nimbary::test::WatchedSource;

namespace {

sim::SimConfig Frozen() {
    sim::SimConfig c;
    c.seed = 3;
    c.devId = 0x1A2B3C4D;
    c.startTime = 800000000;
    c.frozen = true;
    return c;
}

// Display units of °F and mm for the lines, restored afterwards.
struct FahrenheitAndMm {
    FahrenheitAndMm() {
        UnitSet units;
        units.TempUnit = TEMP_F;
        units.RainUnit = RAIN_MM;
        SetUnits(units);
    }
    ~FahrenheitAndMm() { SetUnits(UnitSet{}); }
};

std::map<int, std::string> ByY(const MemoryMonitor::Lines& lines) {
    std::map<int, std::string> out;
    for (const auto& [y, text] : lines) EXPECT_TRUE(out.emplace(y, text).second) << y;
    return out;
}

std::string Rain(double mm) {
    return FormatRain(mm, FMT_UNIT | FMT_VALUE);
}

}  // namespace

TEST(MemoryMonitor, JumpsOfRainAndIndoorTemperature) {
    constexpr double A = VAL_ABSENT;
    struct Case {
        int place;
        double before, now;
        bool jumped;
    };
    const Case cases[] = {
        {RAIN_HOUR, 1.0, 150.0, true},
        {RAIN_HOUR, A, 150.0, false},
        {RAIN_DAY, 1.0, 101.0, false},
        {RAIN_DAY, 1.0, 101.1, true},
        {RAIN_MONTH, 500.0, 0.0, true},
        {RAIN_WEEK, VAL_INVALID, 0.0, false},
        {RAIN_TOTAL, 0.0, 100.5, true},
        {MemoryMonitor::kTempPlace, 50.0, 61.0, true},
        {MemoryMonitor::kTempPlace, 50.0, 40.0, false},
        {MemoryMonitor::kTempPlace, 50.0, VAL_INVALID, false},
        {MemoryMonitor::kTempPlace, A, 70.0, false},
    };
    for (const Case& c : cases) {
        MemoryMonitor::Row before, now;
        before.fill(A);
        now.fill(A);
        before[c.place] = c.before;
        now[c.place] = c.now;
        EXPECT_EQ(MemoryMonitor::Jumped(before, now), c.jumped)
            << c.place << ": " << c.before << " -> " << c.now;
    }
}

TEST(MemoryMonitor, LinesOfStatusBlocksAndFirstRecord) {
    FahrenheitAndMm units;
    HandImage hand;
    hand.SetHeader(10, 25, 123, 70000, 400 + 705);  // 1.0, 2.5, 12.3, 7000.0 mm; 70.5 °F
    SimRig rig(Frozen());
    ASSERT_EQ(rig.station->LoadImage(hand.image), "");
    MemoryMonitor monitor(*rig.source);

    MemoryMonitor::Look look = monitor.Tick();
    EXPECT_FALSE(look.warning);
    auto lines = ByY(look.lines);
    const std::map<int, std::string> expected = {
        {10, "First Block:1        Records:03            "},
        {30, "Current Block:2   Records:1C            "},
        {50, "Data Size:1000                     "},
        {110, "first rain record of first block:"},
        {130, "Rain Hour:     Del:   Curr: " + Rain(1.0) + "        "},
        {150, "Rain Day:      Del:   Curr: " + Rain(2.5) + "        "},
        {170, "Rain Week:   Del:   Curr: " + Rain(12.3) + "        "},
        {190, "Rain Month:  Del:   Curr: " + Rain(7000.0) + "        "},
        {210,
         "In Temperature:  Del:   Curr: " + FormatTemp(70.5, FMT_UNIT | FMT_VALUE) + "        "},
    };
    EXPECT_EQ(lines, expected);

    // A second look: the size grew by 16 and the hour's rain jumped by 101.3 mm.
    hand.SetHeader(1023, 25, 123, 70000, 400 + 705);
    hand.image.usedSize = 1016;
    ASSERT_EQ(rig.station->LoadImage(hand.image), "");
    look = monitor.Tick();
    EXPECT_TRUE(look.warning);
    lines = ByY(look.lines);
    EXPECT_EQ(lines[70], "Increase data:16          ");
    EXPECT_EQ(lines[50], "Data Size:1016                     ");
    EXPECT_EQ(lines[130],
              "Rain Hour:     Del: " + Rain(1.0) + "  Curr: " + Rain(102.3) + "        ");
    EXPECT_EQ(lines[150], "Rain Day:      Del: " + Rain(2.5) + "  Curr: " + Rain(2.5) + "        ");
    EXPECT_EQ(monitor.Previous()[RAIN_HOUR], 1.0);
    EXPECT_EQ(monitor.Current()[RAIN_HOUR], 102.3);

    // Unchanged size: no increase line, so the old one stands in the dialog.
    look = monitor.Tick();
    EXPECT_FALSE(look.warning);
    EXPECT_EQ(ByY(look.lines).count(70), 0u);
}

TEST(MemoryMonitor, NothingIsWrittenForAnEmptyMemoryOrAFailedStatus) {
    SimRig rig(Frozen());  // no history recorded
    MemoryMonitor monitor(*rig.source);
    EXPECT_TRUE(monitor.Tick().lines.empty());

    HandImage hand;
    ASSERT_EQ(rig.station->LoadImage(hand.image), "");
    bool statusFails = true;
    WatchedSource failing(*rig.source,
                          [&](uint8_t area, uint16_t) { return area != 0 || !statusFails; });
    MemoryMonitor watched(failing);
    MemoryMonitor::Look look = watched.Tick();
    EXPECT_TRUE(look.lines.empty());
    EXPECT_FALSE(look.warning);
    statusFails = false;
    EXPECT_FALSE(watched.Tick().lines.empty());
}

TEST(MemoryMonitor, AFirstRecordThatCannotBeReadIsAWarning) {
    HandImage hand;
    hand.SetHeader(10, 25, 123, 700, 1105);
    SimRig rig(Frozen());
    ASSERT_EQ(rig.station->LoadImage(hand.image), "");
    WatchedSource failing(*rig.source, [](uint8_t area, uint16_t) { return area != 2; });
    MemoryMonitor monitor(failing);
    MemoryMonitor::Look look = monitor.Tick();
    EXPECT_TRUE(look.warning);
    EXPECT_EQ(ByY(look.lines)[10], "First Block:1        Records:03            ");

    // Without a rain header there is no check and no rain lines.
    hand.first.Flags = 0x7F;
    hand.PutEntry(1, hand.first);
    ASSERT_EQ(rig.station->LoadImage(hand.image), "");
    look = monitor.Tick();
    EXPECT_FALSE(look.warning);
    auto lines = ByY(look.lines);
    EXPECT_EQ(lines.count(110), 0u);
    EXPECT_EQ(lines.count(210), 0u);
}
