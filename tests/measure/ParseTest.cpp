#include <gtest/gtest.h>

#include <stdlib.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "Parse.h"

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

// One parser in one unit, with humidity's whole numbers widened.
using Parser = std::function<bool(const std::string&, double&)>;

Parser Of(RangeQuantity q, bool indoor, const UnitSet& u) {
    return [=](const std::string& text, double& out) {
        switch (q) {
            case RangeQuantity::Temp:
                return ParseTemp(text, out, u, indoor);
            case RangeQuantity::Humi: {
                int32_t h = 0;
                if (!ParseHumi(text, h, u)) return false;
                out = h;
                return true;
            }
            case RangeQuantity::Baro:
                return ParseBaro(text, out, u);
            case RangeQuantity::Wind:
                return ParseWind(text, out, u);
            case RangeQuantity::Rain:
                return ParseRain(text, out, u);
        }
        return false;
    };
}

}  // namespace

TEST(Parse, ReadsOnlyWhatIsANumber) {
    const std::pair<const char*, double> numbers[] = {
        {"21.5", 21.5}, {"  21.5 ", 21.5}, {"-3", -3.0}, {"+3", 3.0}, {"1e2", 100.0},
        {"21,5", 21.5}, {"-0", 0.0},       {"1.", 1.0},  {".5", 0.5}, {"\t7", 7.0}};
    for (auto [text, value] : numbers) {
        double v = -1;
        EXPECT_TRUE(ReadNumber(text, v)) << text;
        EXPECT_DOUBLE_EQ(v, value) << text;
    }
    for (const char* text : {"", "  ", "abc", "21.5abc", "--.-", "-.--", "-", ".", "1,013.2",
                             "1,2,3", "21 5", "nan", "inf", "0x1A", "1e999", "２１"}) {
        double v = -1;
        EXPECT_FALSE(ReadNumber(text, v)) << text;
        EXPECT_EQ(v, -1) << text;
    }
    long n = -1;
    EXPECT_TRUE(ReadWhole(" 42", n));
    EXPECT_EQ(n, 42);
    EXPECT_TRUE(ReadWhole("7.0", n));
    EXPECT_EQ(n, 7);
    for (const char* text : {"42.9", "x", "", "99999999999999999999999"})
        EXPECT_FALSE(ReadWhole(text, n)) << text;
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
        double v = 0;
        EXPECT_TRUE(ReadNumber("21.5", v));
        EXPECT_DOUBLE_EQ(v, 21.5);
    }
    std::setlocale(LC_ALL, saved.c_str());
    unsetenv("LOCPATH");
    std::filesystem::remove_all(dir);
    if (!german) GTEST_SKIP() << "no German locale can be made here (localedef, package locales)";
}

// Both ends of every range in every unit: the end the message shows is taken
// (stored inside the range), one step beyond it is refused.
TEST(Parse, TheEndsTheMessageShowsAreTakenAndNothingBeyond) {
    const RangeQuantity T = RangeQuantity::Temp, H = RangeQuantity::Humi, B = RangeQuantity::Baro,
                        W = RangeQuantity::Wind, R = RangeQuantity::Rain;
    struct Case {
        RangeQuantity q;
        bool indoor;
        UnitSet u;
        // `above` is nullptr where anything above counts as the top.
        const char *lo, *hi, *below, *above;
        const char* unit;
        double loStored, hiStored;  // internal units
    } cases[] = {
        {T, false, Make(1, 0, 0, 0), "-40.0", "140.0", "-40.1", "140.1", "°F", -40.0, 140.0},
        {T, true, Make(1, 0, 0, 0), "14.2", "140.0", "14.1", "140.1", "°F", 14.2, 140.0},
        {T, false, Make(0, 0, 0, 0), "-40.0", "60.0", "-40.1", "60.1", "°C", -40.0, 140.0},
        {T, true, Make(0, 0, 0, 0), "-9.9", "60.0", "-10.0", "60.1", "°C", 14.2, 140.0},
        {H, false, Make(0, 0, 0, 0), "10", "99", "9", "100", "%", 10, 99},
        {B, false, Make(0, 0, 0, 0), "300.0", "1100.0", "299.9", "1100.1", "hpa", 300, 1100},
        {B, false, Make(0, 1, 0, 0), "8.86", "32.48", "8.85", "32.49", "inHg", 8.86 * kHpaPerInHg,
         32.48 * kHpaPerInHg},
        {B, false, Make(0, 2, 0, 0), "225.0", "825.1", "224.9", "825.2", "mmHg", 300, 1100},
        {W, false, Make(0, 0, 0, 0), "0.0", "50.0", "-0.1", "50.1", "m/s", 0, 50},
        {W, false, Make(0, 0, 1, 0), "0.0", "180.0", "-0.1", "180.1", "km/h", 0, 50},
        {W, false, Make(0, 0, 2, 0), "0.0", "111.8", "-0.1", "111.9", "mph", 0, 111.8 / kMphPerMs},
        {W, false, Make(0, 0, 3, 0), "0.0", "97.2", "-0.1", "97.3", "knots", 0, 50},
        {W, false, Make(0, 0, 4, 0), "0", "12", "-1", nullptr, "bft", 0, 32.6},
        {R, false, Make(0, 0, 0, 0), "0.0", "999.9", "-0.1", "1000.0", "mm", 0, 999.9},
        {R, false, Make(0, 0, 0, 1), "0.00", "39.37", "-0.01", "39.38", "in", 0, 999.9},
    };
    for (const Case& c : cases) {
        const std::string what = std::string(c.unit) + (c.indoor ? " indoor" : "");
        const auto [lo, hi] = RangeEnds(c.q, c.indoor, c.u);
        EXPECT_EQ(lo, std::string(c.lo) + " " + c.unit) << what;
        EXPECT_EQ(hi, std::string(c.hi) + " " + c.unit) << what;
        const Parser parse = Of(c.q, c.indoor, c.u);
        double v = -7;
        EXPECT_TRUE(parse(c.lo, v)) << what;
        EXPECT_NEAR(v, c.loStored, 1e-9) << what;
        EXPECT_TRUE(parse(c.hi, v)) << what;
        EXPECT_NEAR(v, c.hiStored, 1e-9) << what;
        EXPECT_FALSE(parse(c.below, v)) << what;
        if (c.above) {
            EXPECT_FALSE(parse(c.above, v)) << what;
        }
        EXPECT_NEAR(v, c.hiStored, 1e-9) << what << ": unchanged by a refusal";
    }
}

TEST(Parse, TextThatIsNoNumberIsRefusedByEveryParser) {
    const UnitSet f = Make(1, 0, 0, 0), bft = Make(1, 0, 4, 0);
    const Parser parsers[] = {
        Of(RangeQuantity::Temp, false, f),   Of(RangeQuantity::Humi, false, f),
        Of(RangeQuantity::Baro, false, f),   Of(RangeQuantity::Wind, false, f),
        Of(RangeQuantity::Wind, false, bft), Of(RangeQuantity::Rain, false, f)};
    for (const Parser& parse : parsers)
        for (const char* text : {"", "abc", "--.-", "-.--", "21abc", "21,5,0", "nan"}) {
            double v = -7;
            EXPECT_FALSE(parse(text, v)) << text;
            EXPECT_EQ(v, -7) << text;
        }
    // "-0" is a number: zero where zero is in range, and stored as plain 0.
    for (const Parser& parse : {parsers[0], parsers[3], parsers[4], parsers[5]}) {
        double v = -7;
        EXPECT_TRUE(parse("-0", v));
        EXPECT_EQ(v, 0.0);
        EXPECT_FALSE(std::signbit(v));
    }
    double v = -7;
    EXPECT_FALSE(parsers[1]("-0", v));
    EXPECT_FALSE(parsers[2]("-0", v));
}

TEST(Parse, ConversionsAndTheBeaufortClasses) {
    double out = 0;
    EXPECT_TRUE(ParseTemp("21.3", out, Make(0, 0, 0, 0)));
    EXPECT_DOUBLE_EQ(out, 21.3 * 1.8 + 32.0);               // stored unrounded
    EXPECT_TRUE(ParseTemp("21,5", out, Make(0, 0, 0, 0)));  // a comma for the decimal mark
    EXPECT_DOUBLE_EQ(out, 21.5 * 1.8 + 32.0);
    EXPECT_TRUE(ParseBaro("29.92", out, Make(0, 1, 0, 0)));
    EXPECT_DOUBLE_EQ(out, 29.92 * kHpaPerInHg);
    EXPECT_TRUE(ParseRain("1", out, Make(0, 0, 0, 1)));
    EXPECT_DOUBLE_EQ(out, 25.4);
    int32_t h = 0;
    EXPECT_FALSE(ParseHumi("55.5", h, UnitSet()));  // not a whole number
    EXPECT_TRUE(ParseHumi("55", h, UnitSet()));
    EXPECT_EQ(h, 55);

    const UnitSet bft = Make(0, 0, 4, 0);
    const std::pair<const char*, double> classes[] = {
        {"5", 7.9}, {"5.9", 7.9}, {"0", 0.0}, {"13", 32.6}, {"1e300", 32.6}};
    for (auto [text, ms] : classes) {
        EXPECT_TRUE(ParseWind(text, out, bft)) << text;
        EXPECT_DOUBLE_EQ(out, ms) << text;
    }
    EXPECT_FALSE(ParseWind("-0.5", out, bft));
}
