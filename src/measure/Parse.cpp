#include "Parse.h"

#include <locale.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "Format.h"

namespace nimbary {

namespace {

locale_t CLocale() {
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

// A range end as the range message prints it: in the display unit, at the
// formatter's precision.
double ShownEnd(const std::string& printed) {
    double v = 0;
    ReadNumber(printed, v);
    return v;
}

// `shown` (display unit) within the ends as printed by `format`; the value
// in the internal unit, kept inside [lo, hi] so that an end typed as shown
// is stored as that end.
template <class Format, class ToInternal>
bool Take(double shown, double lo, double hi, Format format, ToInternal toInternal, double& out) {
    if (shown < ShownEnd(format(lo)) || shown > ShownEnd(format(hi))) return false;
    out = std::clamp(toInternal(shown) + 0.0, lo, hi);  // + 0.0: "-0" is 0
    return true;
}

}  // namespace

bool ReadNumber(const std::string& text, double& out) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return false;
    std::string s = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    if (s.find_first_not_of("0123456789+-.,eE") != std::string::npos) return false;
    if (std::count(s.begin(), s.end(), ',') == 1 && s.find('.') == std::string::npos)
        std::replace(s.begin(), s.end(), ',', '.');
    char* end = nullptr;
    const double v = strtod_l(s.c_str(), &end, CLocale());
    if (end != s.c_str() + s.size() || !std::isfinite(v)) return false;
    out = v;
    return true;
}

bool ReadWhole(const std::string& text, long& out) {
    double v = 0;
    if (!ReadNumber(text, v) || v != std::trunc(v) || v < double(LONG_MIN) || v > double(LONG_MAX))
        return false;
    out = static_cast<long>(v);
    return true;
}

bool ParseTemp(const std::string& text, double& out, const UnitSet& u, bool indoor) {
    double v = 0;
    if (!ReadNumber(text, v)) return false;
    return Take(
        v, indoor ? kTempIndoorMessageMin : kTempMin, kTempMax,
        [&u](double f) { return FormatTemp(f, FMT_VALUE, u); },
        [&u](double t) { return u.Celsius() ? t * 1.8 + 32.0 : t; }, out);
}

bool ParseHumi(const std::string& text, int32_t& out, const UnitSet&) {
    long v = 0;
    if (!ReadWhole(text, v) || v < kHumiMin || v > kHumiMax) return false;
    out = static_cast<int32_t>(v);
    return true;
}

bool ParseBaro(const std::string& text, double& out, const UnitSet& u) {
    double v = 0;
    if (!ReadNumber(text, v)) return false;
    const double factor = u.Baro() == BARO_INHG   ? kHpaPerInHg
                          : u.Baro() == BARO_MMHG ? kHpaPerMmHg
                                                  : 1.0;
    return Take(
        v, kBaroMin, kBaroMax, [&u](double hpa) { return FormatBaro(hpa, FMT_VALUE, u); },
        [factor](double b) { return b * factor; }, out);
}

bool ParseWind(const std::string& text, double& out, const UnitSet& u) {
    double v = 0;
    if (!ReadNumber(text, v)) return false;
    if (u.Wind() == WIND_BFT) {
        // Classes above 12 count as 12.
        if (v < 0) return false;
        const double cls = std::trunc(v);
        out = BeaufortLowerBound(cls > 12 ? 12 : static_cast<int>(cls));
        return true;
    }
    const double perMs = u.Wind() == WIND_KMH     ? kKmhPerMs
                         : u.Wind() == WIND_MPH   ? kMphPerMs
                         : u.Wind() == WIND_KNOTS ? kKnotsPerMs
                                                  : 1.0;
    return Take(
        v, kWindMin, kWindMax, [&u](double ms) { return FormatWind(ms, FMT_VALUE, u); },
        [perMs](double w) { return w / perMs; }, out);
}

bool ParseRain(const std::string& text, double& out, const UnitSet& u) {
    double v = 0;
    if (!ReadNumber(text, v)) return false;
    const double factor = u.Rain() == RAIN_IN ? kMmPerInch : 1.0;
    return Take(
        v, kRainMin, kRainMax, [&u](double mm) { return FormatRain(mm, FMT_VALUE, u); },
        [factor](double r) { return r * factor; }, out);
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

std::pair<std::string, std::string> RangeEnds(RangeQuantity q, bool indoor, const UnitSet& u) {
    const int both = FMT_VALUE | FMT_UNIT;
    std::string lo, hi;
    switch (q) {
        case RangeQuantity::Temp:
            lo = FormatTemp(indoor ? kTempIndoorMessageMin : kTempMin, both, u);
            hi = FormatTemp(kTempMax, both, u);
            break;
        case RangeQuantity::Humi:
            lo = FormatHumi(kHumiMin, both, u);
            hi = FormatHumi(kHumiMax, both, u);
            break;
        case RangeQuantity::Baro:
            lo = FormatBaro(kBaroMin, both, u);
            hi = FormatBaro(kBaroMax, both, u);
            break;
        case RangeQuantity::Wind:
            lo = FormatWind(kWindMin, both, u);
            hi = FormatWind(kWindMax, both, u);
            break;
        case RangeQuantity::Rain:
            lo = FormatRain(kRainMin, both, u);
            hi = FormatRain(kRainMax, both, u);
            break;
    }
    return {lo, hi};
}

}  // namespace nimbary
