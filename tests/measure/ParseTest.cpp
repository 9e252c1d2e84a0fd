#include <gtest/gtest.h>

#include <stdlib.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "Parse.h"
#include "StringTable.h"

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

}  // namespace

TEST(Parse, ReadsNumbersLikeTheRuntime) {
    EXPECT_DOUBLE_EQ(ReadDouble("  21.5"), 21.5);
    EXPECT_DOUBLE_EQ(ReadDouble("21.5abc"), 21.5);
    EXPECT_DOUBLE_EQ(ReadDouble("-3"), -3.0);
    EXPECT_DOUBLE_EQ(ReadDouble(""), 0.0);
    EXPECT_DOUBLE_EQ(ReadDouble("abc"), 0.0);
    EXPECT_DOUBLE_EQ(ReadDouble("1e2"), 100.0);
    EXPECT_EQ(ReadLong(" 42.9"), 42);
    EXPECT_EQ(ReadLong("x"), 0);
}

TEST(Parse, DecimalPointDoesNotFollowTheProcessLocale) {
    // Qt applications adopt the user's locale; a German one must not turn
    // "21.5" into 21. A fresh machine has no German locale generated: one is
    // compiled for this test from glibc's sources (package locales) and
    // found through LOCPATH.
    std::string dir = (std::filesystem::temp_directory_path() / "nimbary-locale-XXXXXX").string();
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    const std::string make = "localedef -i de_DE -f UTF-8 '" + dir + "/de_DE.UTF-8' 2>/dev/null";
    const bool made = std::system(make.c_str()) == 0;
    const char* old = std::setlocale(LC_ALL, nullptr);
    const std::string saved = old ? old : "C";
    setenv("LOCPATH", dir.c_str(), 1);
    const bool german = made && std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    if (german) {
        char text[16];
        std::snprintf(text, sizeof text, "%.1f", 21.5);
        EXPECT_STREQ(text, "21,5");  // the locale is in force
        EXPECT_DOUBLE_EQ(ReadDouble("21.5"), 21.5);
    }
    std::setlocale(LC_ALL, saved.c_str());
    unsetenv("LOCPATH");
    std::filesystem::remove_all(dir);
    if (!german) GTEST_SKIP() << "no German locale can be made here (localedef, package locales)";
}

TEST(Parse, TemperatureBoundsInBothUnits) {
    double out = 0;
    UnitSet c = Make(0, 0, 0, 0), f = Make(1, 0, 0, 0);
    EXPECT_TRUE(ParseTemp("60", out, c));
    EXPECT_DOUBLE_EQ(out, 140.0);
    EXPECT_FALSE(ParseTemp("60.1", out, c));
    EXPECT_DOUBLE_EQ(out, 140.0);  // unchanged on failure
    EXPECT_TRUE(ParseTemp("-40", out, c));
    EXPECT_DOUBLE_EQ(out, -40.0);
    EXPECT_FALSE(ParseTemp("-40.1", out, c));
    EXPECT_TRUE(ParseTemp("21.3", out, c));
    EXPECT_DOUBLE_EQ(out, 21.3 * 1.8 + 32.0);  // stored unrounded
    EXPECT_TRUE(ParseTemp("140", out, f));
    EXPECT_FALSE(ParseTemp("140.1", out, f));
    EXPECT_TRUE(ParseTemp("-40", out, f));
    EXPECT_FALSE(ParseTemp("-40.01", out, f));
    EXPECT_TRUE(ParseTemp("", out, f));  // empty reads as 0, which is in range
    EXPECT_DOUBLE_EQ(out, 0.0);
    EXPECT_FALSE(ParseTemp("nan", out, f));
}

TEST(Parse, HumidityBounds) {
    int32_t out = 0;
    UnitSet u;
    EXPECT_TRUE(ParseHumi("10", out, u));
    EXPECT_EQ(out, 10);
    EXPECT_TRUE(ParseHumi("99", out, u));
    EXPECT_FALSE(ParseHumi("9", out, u));
    EXPECT_FALSE(ParseHumi("100", out, u));
    EXPECT_FALSE(ParseHumi("99999999999999999999", out, u));
    EXPECT_EQ(out, 99);
}

TEST(Parse, PressureBoundsInEveryUnit) {
    double out = 0;
    EXPECT_TRUE(ParseBaro("300", out, Make(0, 0, 0, 0)));
    EXPECT_TRUE(ParseBaro("1100", out, Make(0, 0, 0, 0)));
    EXPECT_FALSE(ParseBaro("1100.1", out, Make(0, 0, 0, 0)));
    EXPECT_FALSE(ParseBaro("299.9", out, Make(0, 0, 0, 0)));
    EXPECT_TRUE(ParseBaro("29.92", out, Make(0, 1, 0, 0)));
    EXPECT_DOUBLE_EQ(out, 29.92 * 33.8638866667);
    EXPECT_FALSE(ParseBaro("32.49", out, Make(0, 1, 0, 0)));  // 1100.2 hPa
    EXPECT_FALSE(ParseBaro("8.85", out, Make(0, 1, 0, 0)));   // 299.7 hPa
    EXPECT_TRUE(ParseBaro("760", out, Make(0, 2, 0, 0)));
    EXPECT_DOUBLE_EQ(out, 760 * 1.3332239);
    EXPECT_FALSE(ParseBaro("825.1", out, Make(0, 2, 0, 0)));
    EXPECT_FALSE(ParseBaro("225", out, Make(0, 2, 0, 0)));
}

TEST(Parse, WindBoundsInEveryUnit) {
    double out = -1;
    EXPECT_TRUE(ParseWind("50", out, Make(0, 0, 0, 0)));
    EXPECT_FALSE(ParseWind("50.1", out, Make(0, 0, 0, 0)));
    EXPECT_FALSE(ParseWind("-0.1", out, Make(0, 0, 0, 0)));
    EXPECT_TRUE(ParseWind("180", out, Make(0, 0, 1, 0)));
    EXPECT_DOUBLE_EQ(out, 50.0);
    EXPECT_FALSE(ParseWind("180.1", out, Make(0, 0, 1, 0)));
    EXPECT_TRUE(ParseWind("111.8", out, Make(0, 0, 2, 0)));
    EXPECT_FALSE(ParseWind("111.9", out, Make(0, 0, 2, 0)));
    EXPECT_TRUE(ParseWind("97.1", out, Make(0, 0, 3, 0)));
    EXPECT_FALSE(ParseWind("97.2", out, Make(0, 0, 3, 0)));

    UnitSet bft = Make(0, 0, 4, 0);
    EXPECT_TRUE(ParseWind("5", out, bft));
    EXPECT_DOUBLE_EQ(out, 7.9);
    EXPECT_TRUE(ParseWind("5.9", out, bft));  // cut toward zero
    EXPECT_DOUBLE_EQ(out, 7.9);
    EXPECT_TRUE(ParseWind("0", out, bft));
    EXPECT_DOUBLE_EQ(out, 0.0);
    EXPECT_TRUE(ParseWind("13", out, bft));
    EXPECT_DOUBLE_EQ(out, 32.6);
    EXPECT_TRUE(ParseWind("1e300", out, bft));
    EXPECT_DOUBLE_EQ(out, 32.6);
    EXPECT_FALSE(ParseWind("-1", out, bft));
    EXPECT_DOUBLE_EQ(out, 32.6);
}

TEST(Parse, RainBoundsInBothUnits) {
    double out = 0;
    EXPECT_TRUE(ParseRain("999.9", out, Make(0, 0, 0, 0)));
    EXPECT_FALSE(ParseRain("1000", out, Make(0, 0, 0, 0)));
    EXPECT_FALSE(ParseRain("-0.1", out, Make(0, 0, 0, 0)));
    EXPECT_TRUE(ParseRain("1", out, Make(0, 0, 0, 1)));
    EXPECT_DOUBLE_EQ(out, 25.4);
    EXPECT_TRUE(ParseRain("39.36", out, Make(0, 0, 0, 1)));
    EXPECT_FALSE(ParseRain("39.37", out, Make(0, 0, 0, 1)));
}

TEST(RangeMessage, EndsFormattedInTheDisplayUnit) {
    text::SetLanguage(text::Language::English);
    EXPECT_EQ(RangeMessageText(Quantity::Temp, false, Make(0, 0, 0, 0)),
              "Data Range is -40.0 °C to 60.0 °C");
    EXPECT_EQ(RangeMessageText(Quantity::Temp, true, Make(1, 0, 0, 0)),
              "Data Range is 14.2 °F to 140.0 °F");
    EXPECT_EQ(RangeMessageText(Quantity::Humi, false, Make(0, 0, 0, 0)),
              "Data Range is 10 % to 99 %");
    EXPECT_EQ(RangeMessageText(Quantity::Baro, false, Make(0, 1, 0, 0)),
              "Data Range is 8.86 inHg to 32.48 inHg");
    EXPECT_EQ(RangeMessageText(Quantity::Wind, false, Make(0, 0, 4, 0)),
              "Data Range is 0 bft to 12 bft");
    EXPECT_EQ(RangeMessageText(Quantity::Rain, false, Make(0, 0, 0, 0)),
              "Data Range is 0.0 mm to 999.9 mm");
    text::SetLanguage(text::Language::Chinese);
    EXPECT_EQ(RangeMessageText(Quantity::Humi, false, Make(0, 0, 0, 0)), "数据范围为10 %到99 %");
    text::SetLanguage(text::Language::English);
}
