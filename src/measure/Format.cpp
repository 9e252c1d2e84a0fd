#include "Format.h"

#include <charconv>
#include <cmath>

namespace nimbary {

namespace {

// Sentinel texts; the dash text depends on the quantity and unit.
bool SentinelText(double v, const char* dashes, std::string& out) {
    if (v < VAL_INVALID) return false;
    if (v == VAL_ABSENT)
        out.clear();
    else if (v == VAL_HIGH)
        out = "High";
    else if (v == VAL_LOW)
        out = "Low";
    else
        out = dashes;
    return true;
}

// `internal` decides about sentinels, `shown` is what gets printed.
std::string Compose(double internal, double shown, int flags, int decimals, const char* dashes,
                    const std::string& unit) {
    std::string out;
    if (flags & FMT_VALUE) {
        if (SentinelText(internal, dashes, out)) return out;
        out = FixedText(shown, decimals);
        if (flags & FMT_UNIT) out += ' ' + unit;
        return out;
    }
    if (flags & FMT_UNIT) return unit;
    return out;
}

}  // namespace

std::string FixedText(double v, int decimals) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    if (res.ec != std::errc()) return {};
    return std::string(buf, res.ptr);
}

std::string TempUnitName(const UnitSet& u) {
    return u.Celsius() ? "°C" : "°F";
}

std::string BaroUnitName(const UnitSet& u) {
    static const char* const names[] = {"hpa", "inHg", "mmHg"};
    return names[u.Baro()];
}

std::string WindUnitName(const UnitSet& u) {
    static const char* const names[] = {"m/s", "km/h", "mph", "knots", "bft"};
    return names[u.Wind()];
}

std::string RainUnitName(const UnitSet& u) {
    return u.Rain() == RAIN_IN ? "in" : "mm";
}

std::string FormatTemp(double f, int flags, const UnitSet& u) {
    return Compose(f, ConvertTemp(f, u), flags, 1, "--.-", TempUnitName(u));
}

std::string FormatHumi(int32_t h, int flags, const UnitSet&) {
    return Compose(h, h, flags, 0, "--", "%");
}

std::string FormatBaro(double hpa, int flags, const UnitSet& u) {
    bool inHg = u.Baro() == BARO_INHG;
    return Compose(hpa, ConvertBaro(hpa, u), flags, inHg ? 2 : 1, inHg ? "-.--" : "--.-",
                   BaroUnitName(u));
}

std::string FormatWind(double ms, int flags, const UnitSet& u) {
    bool bft = u.Wind() == WIND_BFT;
    return Compose(ms, ConvertWind(ms, u), flags, bft ? 0 : 1, bft ? "--" : "--.-",
                   WindUnitName(u));
}

std::string FormatRain(double mm, int flags, const UnitSet& u) {
    bool in = u.Rain() == RAIN_IN;
    return Compose(mm, ConvertRain(mm, u), flags, in ? 2 : 1, in ? "-.--" : "--.-",
                   RainUnitName(u));
}

std::string FormatWindDir(int32_t degrees) {
    if (degrees == VAL_ABSENT) return {};
    if (degrees >= 360) return "--";
    static const int kBelow[] = {23, 68, 113, 158, 203, 248, 293, 338};
    static const char* const kNames[] = {"N", "NE", "E", "SE", "S", "SW", "W", "NW"};
    for (int i = 0; i < 8; ++i)
        if (degrees < kBelow[i]) return kNames[i];
    return "N";
}

std::string FormatTemp(double f, int flags) {
    return FormatTemp(f, flags, Units());
}
std::string FormatHumi(int32_t h, int flags) {
    return FormatHumi(h, flags, Units());
}
std::string FormatBaro(double hpa, int flags) {
    return FormatBaro(hpa, flags, Units());
}
std::string FormatWind(double ms, int flags) {
    return FormatWind(ms, flags, Units());
}
std::string FormatRain(double mm, int flags) {
    return FormatRain(mm, flags, Units());
}

}  // namespace nimbary
