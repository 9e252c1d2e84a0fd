#include <gtest/gtest.h>

#include "Derived.h"

using namespace nimbary;

// Expected values were computed by hand from the published formulas
// (Magnus-type dew point, NWS heat index, Environment Canada wind chill),
// with the one-decimal Fahrenheit rounding.
TEST(Derived, DewPointAgainstIndependentValues) {
    EXPECT_DOUBLE_EQ(CalcDewPoint(68.0, 50), 48.7);
    EXPECT_DOUBLE_EQ(CalcDewPoint(86.0, 70), 75.1);
    EXPECT_DOUBLE_EQ(CalcDewPoint(32.0, 90), 29.4);
    EXPECT_DOUBLE_EQ(CalcDewPoint(-4.0, 40), -22.2);
    EXPECT_DOUBLE_EQ(CalcDewPoint(104.0, 20), 55.1);
    EXPECT_DOUBLE_EQ(CalcDewPoint(68.0, VAL_INVALID), 68.0);
    EXPECT_DOUBLE_EQ(CalcDewPoint(VAL_HIGH, 50), VAL_HIGH);
    EXPECT_DOUBLE_EQ(CalcDewPoint(68.0, 0), VAL_INVALID);  // no finite dew point
}

TEST(Derived, HeatIndexAndItsThresholds) {
    EXPECT_DOUBLE_EQ(CalcHeatIndex(90.0, 60), 99.7);
    EXPECT_DOUBLE_EQ(CalcHeatIndex(80.0, 35), 79.5);
    EXPECT_DOUBLE_EQ(CalcHeatIndex(100.0, 40), 109.2);
    EXPECT_DOUBLE_EQ(CalcHeatIndex(115.0, 99), 322.9);
    EXPECT_DOUBLE_EQ(CalcHeatIndex(90.0, 34), 90.0);
    EXPECT_DOUBLE_EQ(CalcHeatIndex(79.9, 60), 79.9);
    EXPECT_DOUBLE_EQ(CalcHeatIndex(115.1, 60), 115.1);
    EXPECT_DOUBLE_EQ(CalcHeatIndex(90.0, VAL_INVALID), 90.0);
}

TEST(Derived, WindChillAndItsThresholds) {
    EXPECT_DOUBLE_EQ(CalcWindChill(32.0, 5.0), 23.1);
    EXPECT_DOUBLE_EQ(CalcWindChill(14.0, 10.0), -4.4);
    EXPECT_DOUBLE_EQ(CalcWindChill(-22.0, 20.0), -60.9);
    EXPECT_DOUBLE_EQ(CalcWindChill(49.9, 1.4), 49.4);
    EXPECT_DOUBLE_EQ(CalcWindChill(50.0, 10.0), 50.0);
    EXPECT_DOUBLE_EQ(CalcWindChill(32.0, 1.3), 32.0);
    EXPECT_DOUBLE_EQ(CalcWindChill(32.0, 49.2), 32.0);
    EXPECT_DOUBLE_EQ(CalcWindChill(32.0, VAL_INVALID), 32.0);
}

TEST(Derived, FeelsLikePicksHeatIndexOrWindChill) {
    EXPECT_DOUBLE_EQ(CalcFeelsLike(90.0, 5.0, 60), 99.7);
    EXPECT_DOUBLE_EQ(CalcFeelsLike(32.0, 5.0, 60), 23.1);
    EXPECT_DOUBLE_EQ(CalcFeelsLike(90.0, VAL_INVALID, 60), 90.0);
    EXPECT_DOUBLE_EQ(CalcFeelsLike(VAL_LOW, 5.0, 60), VAL_LOW);
}

TEST(Derived, FillingFollowsTheMasksAndTheWindSensor) {
    HistoryRecord r;
    r.ChTemp[0] = 32.0;
    r.ChHumi[0] = 90;
    r.ChTemp[1] = 32.0;  // temperature only
    r.ChTemp[2] = 68.0;  // not in the mask: left alone
    r.ChHumi[2] = 50;
    r.Wind = 5.0;
    r.Gust = 20.0;  // gust never takes part
    FillDerived(r, 0x03, 0x01, true);
    EXPECT_DOUBLE_EQ(r.ChDewPoint[0], 29.4);
    EXPECT_DOUBLE_EQ(r.ChFeelLike[0], 23.1);
    EXPECT_DOUBLE_EQ(r.ChDewPoint[1], VAL_ABSENT);
    EXPECT_DOUBLE_EQ(r.ChFeelLike[1], 23.1);
    EXPECT_DOUBLE_EQ(r.ChDewPoint[2], VAL_ABSENT);
    EXPECT_DOUBLE_EQ(r.ChFeelLike[2], VAL_ABSENT);

    HistoryRecord hot;
    hot.ChTemp[0] = 90.0;
    hot.ChHumi[0] = 60;
    hot.ChTemp[1] = 32.0;
    FillDerived(hot, 0x03, 0x01, false);  // no wind sensor: heat index, no wind chill
    EXPECT_DOUBLE_EQ(hot.ChFeelLike[0], 99.7);
    EXPECT_DOUBLE_EQ(hot.ChFeelLike[1], VAL_ABSENT);
}
