#include <gtest/gtest.h>

#include "Format.h"

using namespace nimbary;

namespace {

UnitSet Make(int temp, int baro, int wind, int rain) {
    UnitSet u;
    u.TempUnit = temp;
    u.BaroUnit = baro;
    u.WindUnit = wind;
    u.RainUnit = rain;
    return u;
}

const int kBoth = FMT_VALUE | FMT_UNIT;

}  // namespace

// Every sentinel of every quantity in every unit: absent is empty, low and
// high are words, the rest are the unit's dashes, and no unit is appended.
TEST(Format, SentinelsInEveryUnit) {
    const double sentinels[] = {8388602, 8388603, 8388604, 8388605, 8388606, 8388607};
    auto expect = [](double v, const char* dashes) -> std::string {
        if (v == VAL_ABSENT) return "";
        if (v == VAL_LOW) return "Low";
        if (v == VAL_HIGH) return "High";
        return dashes;
    };
    for (double v : sentinels) {
        for (int t = 0; t < 2; ++t)
            EXPECT_EQ(FormatTemp(v, kBoth, Make(t, 0, 0, 0)), expect(v, "--.-")) << v;
        EXPECT_EQ(FormatHumi(static_cast<int32_t>(v), kBoth, Make(0, 0, 0, 0)), expect(v, "--"));
        const char* baroDash[] = {"--.-", "-.--", "--.-"};
        for (int b = 0; b < 3; ++b)
            EXPECT_EQ(FormatBaro(v, kBoth, Make(0, b, 0, 0)), expect(v, baroDash[b])) << b;
        for (int w = 0; w < 5; ++w)
            EXPECT_EQ(FormatWind(v, kBoth, Make(0, 0, w, 0)), expect(v, w == 4 ? "--" : "--.-"))
                << w;
        EXPECT_EQ(FormatRain(v, kBoth, Make(0, 0, 0, 0)), expect(v, "--.-"));
        EXPECT_EQ(FormatRain(v, kBoth, Make(0, 0, 0, 1)), expect(v, "-.--"));
    }
}

TEST(Format, ValuesAndUnitsInEveryUnit) {
    EXPECT_EQ(FormatTemp(68.0, kBoth, Make(0, 0, 0, 0)), "20.0 °C");
    EXPECT_EQ(FormatTemp(68.0, kBoth, Make(1, 0, 0, 0)), "68.0 °F");
    EXPECT_EQ(FormatTemp(68.0, kBoth, Make(7, 0, 0, 0)), "68.0 °F");     // any non-zero is °F
    EXPECT_EQ(FormatTemp(31.928, FMT_VALUE, Make(0, 0, 0, 0)), "-0.0");  // -0.04 °C
    EXPECT_EQ(FormatHumi(45, kBoth, Make(0, 0, 0, 0)), "45 %");

    EXPECT_EQ(FormatBaro(1013.25, kBoth, Make(0, 0, 0, 0)), "1013.2 hpa");
    EXPECT_EQ(FormatBaro(1013.25, kBoth, Make(0, 1, 0, 0)), "29.92 inHg");
    EXPECT_EQ(FormatBaro(1013.25, kBoth, Make(0, 2, 0, 0)), "760.0 mmHg");
    EXPECT_EQ(FormatBaro(1013.25, kBoth, Make(0, 9, 0, 0)), "1013.2 hpa");  // unknown code = hPa

    EXPECT_EQ(FormatWind(10.0, kBoth, Make(0, 0, 0, 0)), "10.0 m/s");
    EXPECT_EQ(FormatWind(10.0, kBoth, Make(0, 0, 1, 0)), "36.0 km/h");
    EXPECT_EQ(FormatWind(10.0, kBoth, Make(0, 0, 2, 0)), "22.4 mph");
    EXPECT_EQ(FormatWind(10.0, kBoth, Make(0, 0, 3, 0)), "19.4 knots");
    EXPECT_EQ(FormatWind(10.0, kBoth, Make(0, 0, 4, 0)), "5 bft");
    EXPECT_EQ(FormatWind(10.0, kBoth, Make(0, 0, -1, 0)), "10.0 m/s");

    EXPECT_EQ(FormatRain(12.7, kBoth, Make(0, 0, 0, 0)), "12.7 mm");
    EXPECT_EQ(FormatRain(12.7, kBoth, Make(0, 0, 0, 1)), "0.50 in");
}

TEST(Format, FlagsSelectValueUnitOrBoth) {
    UnitSet u = Make(1, 1, 2, 1);
    EXPECT_EQ(FormatTemp(50.0, FMT_UNIT, u), "°F");
    EXPECT_EQ(FormatTemp(50.0, FMT_VALUE, u), "50.0");
    EXPECT_EQ(FormatTemp(VAL_INVALID, FMT_UNIT, u), "°F");  // unit alone ignores the value
    EXPECT_EQ(FormatTemp(50.0, 0, u), "");
    EXPECT_EQ(FormatHumi(50, FMT_UNIT, u), "%");
    EXPECT_EQ(FormatBaro(1000.0, FMT_UNIT, u), "inHg");
    EXPECT_EQ(FormatWind(1.0, FMT_UNIT, u), "mph");
    EXPECT_EQ(FormatRain(1.0, FMT_UNIT, u), "in");
}

TEST(Beaufort, ClassesAtTheirBounds) {
    const double upper[] = {0.3, 1.5, 3.4, 5.4, 7.9, 10.7, 13.8, 17.1, 20.7, 24.4, 28.4, 32.6};
    for (int c = 0; c < 12; ++c) {
        EXPECT_EQ(BeaufortClass(upper[c] - 0.01), c);
        EXPECT_EQ(BeaufortClass(upper[c]), c + 1);
    }
    EXPECT_EQ(BeaufortClass(0.0), 0);
    EXPECT_EQ(BeaufortClass(100.0), 12);
    UnitSet bft = Make(0, 0, 4, 0);
    EXPECT_EQ(FormatWind(0.0, FMT_VALUE, bft), "0");
    EXPECT_EQ(FormatWind(0.29, FMT_VALUE, bft), "0");
    EXPECT_EQ(FormatWind(0.3, FMT_VALUE, bft), "1");
    EXPECT_EQ(FormatWind(32.6, FMT_VALUE, bft), "12");
    EXPECT_EQ(ConvertWind(VAL_INVALID, bft), VAL_INVALID);
    EXPECT_DOUBLE_EQ(ConvertWind(10.0, Make(0, 0, 1, 0)), 36.0);
}

TEST(Format, WindDirectionSectors) {
    struct {
        int deg;
        const char* text;
    } cases[] = {{0, "N"},         {22, "N"},       {23, "NE"},
                 {67, "NE"},       {68, "E"},       {112, "E"},
                 {113, "SE"},      {157, "SE"},     {158, "S"},
                 {202, "S"},       {203, "SW"},     {247, "SW"},
                 {248, "W"},       {292, "W"},      {293, "NW"},
                 {337, "NW"},      {338, "N"},      {359, "N"},
                 {360, "--"},      {-5, "N"},       {VAL_INVALID, "--"},
                 {VAL_HIGH, "--"}, {VAL_ABSENT, ""}};
    for (const auto& c : cases) EXPECT_EQ(FormatWindDir(c.deg), c.text) << c.deg;
}
