#pragma once

#include <cstdint>

// Internal units: temperatures in °F, humidity in % (integer), pressure in
// hPa, wind and gust in m/s, rain in mm, wind direction in whole degrees.
// Any value of VAL_INVALID or more is not a reading.
namespace nimbary {

constexpr int32_t VAL_INVALID = 8388602;  // 0x7FFFFA: invalid or not received, shown as dashes
constexpr int32_t VAL_ABSENT = 8388603;   // 0x7FFFFB: not fitted, empty text, NULL in the database
constexpr int32_t VAL_LOW = 8388604;      // 0x7FFFFC: below the sensor's range
constexpr int32_t VAL_HIGH = 8388605;     // 0x7FFFFD: above the sensor's range

inline bool IsSentinel(double v) {
    return v >= VAL_INVALID;
}
inline bool IsSentinel(int32_t v) {
    return v >= VAL_INVALID;
}

// Display unit codes. Codes outside a list behave as code 0.
enum TempUnitCode : int32_t { TEMP_C = 0, TEMP_F = 1 };
enum BaroUnitCode : int32_t { BARO_HPA = 0, BARO_INHG = 1, BARO_MMHG = 2 };
enum WindUnitCode : int32_t {
    WIND_MS = 0,
    WIND_KMH = 1,
    WIND_MPH = 2,
    WIND_KNOTS = 3,
    WIND_BFT = 4
};
enum RainUnitCode : int32_t { RAIN_MM = 0, RAIN_IN = 1 };

struct UnitSet {
    int32_t TempUnit = 0;
    int32_t BaroUnit = 0;
    int32_t WindUnit = 0;
    int32_t RainUnit = 0;
    int32_t LightUnit = 0;

    bool Celsius() const { return TempUnit == 0; }
    int32_t Baro() const { return BaroUnit == BARO_INHG || BaroUnit == BARO_MMHG ? BaroUnit : 0; }
    int32_t Wind() const { return WindUnit >= WIND_KMH && WindUnit <= WIND_BFT ? WindUnit : 0; }
    int32_t Rain() const { return RainUnit == RAIN_IN ? RAIN_IN : RAIN_MM; }
};

// The program-wide unit set: the display units, which the settings read of
// the connected station sets. The poll, history and GUI threads all read
// and write it: it is only ever read or written whole, under one lock, so
// no thread sees half of a change.
UnitSet Units();
void SetUnits(const UnitSet& units);
// A unit set another thread may be writing, read or written whole under
// the same lock.
UnitSet LoadUnits(const UnitSet& from);
void StoreUnits(UnitSet& to, const UnitSet& value);

// Conversion factors between internal and display units.
constexpr double kHpaPerInHg = 33.8638866667;
constexpr double kHpaPerMmHg = 1.3332239;
constexpr double kKmhPerMs = 3.6;
constexpr double kMphPerMs = 2.236936;
constexpr double kKnotsPerMs = 1.943844;
constexpr double kMmPerInch = 25.4;

// Beaufort class (0..12) of a speed in m/s.
int BeaufortClass(double ms);
// Lower bound in m/s of a Beaufort class (clamped to 0..12).
double BeaufortLowerBound(int cls);

// Display-unit conversions; sentinels pass unchanged.
double ConvertTemp(double f, const UnitSet& u);
double ConvertBaro(double hpa, const UnitSet& u);
double ConvertWind(double ms, const UnitSet& u);
double ConvertWind(double ms);
double ConvertRain(double mm, const UnitSet& u);

}  // namespace nimbary
