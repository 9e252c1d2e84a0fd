#include "Parse.h"

#include <locale.h>

#include <cmath>
#include <cstdlib>

#include "Format.h"
#include "StringTable.h"

namespace nimbary {

namespace {

locale_t CLocale() {
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

bool InRange(double v, double lo, double hi) {
    return v >= lo && v <= hi;
}

}  // namespace

double ReadDouble(const std::string& text) {
    const char* s = text.c_str();
    char* end = nullptr;
    double v = strtod_l(s, &end, CLocale());
    return end == s ? 0.0 : v;
}

long ReadLong(const std::string& text) {
    const char* s = text.c_str();
    char* end = nullptr;
    long v = std::strtol(s, &end, 10);
    return end == s ? 0 : v;
}

bool ParseTemp(const std::string& text, double& out, const UnitSet& u) {
    double v = ReadDouble(text);
    if (u.Celsius()) v = v * 1.8 + 32.0;
    if (!InRange(v, kTempMin, kTempMax)) return false;
    out = v;
    return true;
}

bool ParseHumi(const std::string& text, int32_t& out, const UnitSet&) {
    long v = ReadLong(text);
    if (v < kHumiMin || v > kHumiMax) return false;
    out = static_cast<int32_t>(v);
    return true;
}

bool ParseBaro(const std::string& text, double& out, const UnitSet& u) {
    double v = ReadDouble(text);
    if (u.Baro() == BARO_INHG)
        v *= kHpaPerInHg;
    else if (u.Baro() == BARO_MMHG)
        v *= kHpaPerMmHg;
    if (!InRange(v, kBaroMin, kBaroMax)) return false;
    out = v;
    return true;
}

bool ParseWind(const std::string& text, double& out, const UnitSet& u) {
    double v = ReadDouble(text);
    switch (u.Wind()) {
        case WIND_KMH:
            v /= kKmhPerMs;
            break;
        case WIND_MPH:
            v /= kMphPerMs;
            break;
        case WIND_KNOTS:
            v /= kKnotsPerMs;
            break;
        case WIND_BFT: {
            if (std::isnan(v)) return false;
            double cls = std::trunc(v);
            if (cls < 0) return false;
            v = BeaufortLowerBound(cls > 12 ? 12 : static_cast<int>(cls));
            break;
        }
        default:
            break;
    }
    if (!InRange(v, kWindMin, kWindMax)) return false;
    out = v;
    return true;
}

bool ParseRain(const std::string& text, double& out, const UnitSet& u) {
    double v = ReadDouble(text);
    if (u.Rain() == RAIN_IN) v *= kMmPerInch;
    if (!InRange(v, kRainMin, kRainMax)) return false;
    out = v;
    return true;
}

bool ParseTemp(const std::string& text, double& out) {
    return ParseTemp(text, out, Units());
}
bool ParseHumi(const std::string& text, int32_t& out) {
    return ParseHumi(text, out, Units());
}
bool ParseBaro(const std::string& text, double& out) {
    return ParseBaro(text, out, Units());
}
bool ParseWind(const std::string& text, double& out) {
    return ParseWind(text, out, Units());
}
bool ParseRain(const std::string& text, double& out) {
    return ParseRain(text, out, Units());
}

std::pair<std::string, std::string> RangeEnds(Quantity q, bool indoor, const UnitSet& u) {
    const int both = FMT_VALUE | FMT_UNIT;
    std::string lo, hi;
    switch (q) {
        case Quantity::Temp:
            lo = FormatTemp(indoor ? kTempIndoorMessageMin : kTempMin, both, u);
            hi = FormatTemp(kTempMax, both, u);
            break;
        case Quantity::Humi:
            lo = FormatHumi(kHumiMin, both, u);
            hi = FormatHumi(kHumiMax, both, u);
            break;
        case Quantity::Baro:
            lo = FormatBaro(kBaroMin, both, u);
            hi = FormatBaro(kBaroMax, both, u);
            break;
        case Quantity::Wind:
            lo = FormatWind(kWindMin, both, u);
            hi = FormatWind(kWindMax, both, u);
            break;
        case Quantity::Rain:
            lo = FormatRain(kRainMin, both, u);
            hi = FormatRain(kRainMax, both, u);
            break;
    }
    return {lo, hi};
}

std::string RangeMessageText(Quantity q, bool indoor, const UnitSet& u) {
    const auto [lo, hi] = RangeEnds(q, indoor, u);
    return text::Format(2095, {lo, hi});
}

std::string RangeMessageText(Quantity q, bool indoor) {
    return RangeMessageText(q, indoor, Units());
}

}  // namespace nimbary
