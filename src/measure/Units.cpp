#include "Units.h"

#include <mutex>

namespace nimbary {

namespace {
UnitSet g_units;
std::mutex g_unitsMutex;

// Upper bounds (exclusive) of Beaufort classes 0..11; class 12 has none.
constexpr double kBeaufortUpper[12] = {0.3,  1.5,  3.4,  5.4,  7.9,  10.7,
                                       13.8, 17.1, 20.7, 24.4, 28.4, 32.6};
}  // namespace

UnitSet LoadUnits(const UnitSet& from) {
    std::lock_guard<std::mutex> lock(g_unitsMutex);
    return from;
}

void StoreUnits(UnitSet& to, const UnitSet& value) {
    std::lock_guard<std::mutex> lock(g_unitsMutex);
    to = value;
}

UnitSet Units() {
    return LoadUnits(g_units);
}

void SetUnits(const UnitSet& units) {
    StoreUnits(g_units, units);
}

int BeaufortClass(double ms) {
    for (int c = 0; c < 12; ++c)
        if (ms < kBeaufortUpper[c]) return c;
    return 12;
}

double BeaufortLowerBound(int cls) {
    if (cls <= 0) return 0.0;
    if (cls > 12) cls = 12;
    return kBeaufortUpper[cls - 1];
}

double ConvertTemp(double f, const UnitSet& u) {
    if (IsSentinel(f) || !u.Celsius()) return f;
    return (f - 32.0) / 1.8;
}

double ConvertBaro(double hpa, const UnitSet& u) {
    if (IsSentinel(hpa)) return hpa;
    switch (u.Baro()) {
        case BARO_INHG:
            return hpa / kHpaPerInHg;
        case BARO_MMHG:
            return hpa / kHpaPerMmHg;
        default:
            return hpa;
    }
}

double ConvertWind(double ms, const UnitSet& u) {
    if (IsSentinel(ms)) return ms;
    switch (u.Wind()) {
        case WIND_KMH:
            return ms * kKmhPerMs;
        case WIND_MPH:
            return ms * kMphPerMs;
        case WIND_KNOTS:
            return ms * kKnotsPerMs;
        case WIND_BFT:
            return BeaufortClass(ms);
        default:
            return ms;
    }
}

double ConvertWind(double ms) {
    return ConvertWind(ms, Units());
}

double ConvertRain(double mm, const UnitSet& u) {
    if (IsSentinel(mm) || u.Rain() != RAIN_IN) return mm;
    return mm / kMmPerInch;
}

}  // namespace nimbary
