#include "Derived.h"

#include <cmath>

namespace nimbary {

namespace {

double ToCelsius(double f) {
    return (f - 32.0) / 1.8;
}

// A Celsius result back to °F with one decimal: whole part of R*18 + 320.5, / 10.
double RoundedFahrenheit(double c) {
    return std::trunc(c * 18.0 + 320.5) / 10.0;
}

}  // namespace

double CalcDewPoint(double t, int32_t h) {
    if (IsSentinel(t) || IsSentinel(h)) return t;
    // The logarithm is undefined without moisture; no station reports 0 %.
    if (h <= 0) return VAL_INVALID;
    double tc = ToCelsius(t);
    double es = 6.107 * std::pow(10.0, 7.6 * tc / (tc + 240.7)) / 10.0;
    double e = es * h / 100.0;
    double d = std::log(e / 0.61078);
    return RoundedFahrenheit(241.88 * d / (17.558 - d));
}

double CalcHeatIndex(double t, int32_t h) {
    if (IsSentinel(t) || IsSentinel(h)) return t;
    if (t < 80.0 || t > 115.0 || h < 35) return t;
    const double hh = static_cast<double>(h * h);  // formed as an integer product
    double hi = -42.4 + 2.04901523 * t + 10.14333127 * h - 0.22475541 * t * h - 0.00683783 * t * t -
                0.05481717 * hh + 0.00122874 * t * t * h + 0.00085282 * t * hh -
                0.00000199 * t * t * hh;
    return std::trunc(hi * 10.0 + 0.5) / 10.0;
}

double CalcWindChill(double t, double w) {
    if (IsSentinel(t) || IsSentinel(w)) return t;
    if (t >= 50.0 || w <= 1.3 || w >= 49.2) return t;
    double tc = ToCelsius(t);
    double v = std::pow(w * 3.6, 0.16);
    return RoundedFahrenheit(13.12 + 0.6215 * tc - 11.37 * v + 0.3965 * tc * v);
}

double CalcFeelsLike(double t, double w, int32_t h) {
    if (IsSentinel(t) || IsSentinel(w) || IsSentinel(h)) return t;
    return t >= 80.0 ? CalcHeatIndex(t, h) : CalcWindChill(t, w);
}

void FillDerived(HistoryRecord& rec, uint8_t tempMask, uint8_t humiMask, bool hasWind) {
    for (int k = 0; k < kChannels; ++k) {
        if (!(tempMask & (1u << k))) continue;
        double t = rec.ChTemp[k];
        if (humiMask & (1u << k)) {
            int32_t h = rec.ChHumi[k];
            rec.ChDewPoint[k] = CalcDewPoint(t, h);
            rec.ChFeelLike[k] = hasWind ? CalcFeelsLike(t, rec.Wind, h) : CalcHeatIndex(t, h);
        } else if (hasWind) {
            rec.ChFeelLike[k] = CalcWindChill(t, rec.Wind);
        }
    }
}

}  // namespace nimbary
