#pragma once

#include <cstdint>

#include "Units.h"

namespace nimbary {

// Index of a rain kind in the eight rain values (Rain1..Rain8 = 0..7).
enum RainKind : int {
    RAIN_EVENT = 0,
    RAIN_RATE = 1,
    RAIN_HOUR = 2,
    RAIN_DAY = 3,
    RAIN_24HOUR = 4,
    RAIN_WEEK = 5,
    RAIN_MONTH = 6,
    RAIN_TOTAL = 7
};

constexpr int kChannels = 8;
constexpr int kRainKinds = 8;

// One set of readings of one moment: a history record, and also the shape of
// the station's current reading. Index 0 of every array is channel 1 or rain
// kind 1. Every measurement starts as VAL_ABSENT.
struct HistoryRecord {
    uint32_t DevID = 0;
    double RecTime = 0.0;  // OLE Automation date
    double InTemp = VAL_ABSENT;
    int32_t InHumi = VAL_ABSENT;
    double ChTemp[kChannels];
    int32_t ChHumi[kChannels];
    double ChDewPoint[kChannels];
    double ChFeelLike[kChannels];
    double AbsBaro = VAL_ABSENT;
    double RelBaro = VAL_ABSENT;
    double Wind = VAL_ABSENT;
    double Gust = VAL_ABSENT;
    int32_t WindDir = VAL_ABSENT;
    double Rain[kRainKinds];

    HistoryRecord() { ResetMeasurements(); }

    // Every measurement field back to VAL_ABSENT; DevID and RecTime stay.
    void ResetMeasurements() {
        InTemp = VAL_ABSENT;
        InHumi = VAL_ABSENT;
        for (int k = 0; k < kChannels; ++k) {
            ChTemp[k] = VAL_ABSENT;
            ChHumi[k] = VAL_ABSENT;
            ChDewPoint[k] = VAL_ABSENT;
            ChFeelLike[k] = VAL_ABSENT;
        }
        AbsBaro = RelBaro = Wind = Gust = VAL_ABSENT;
        WindDir = VAL_ABSENT;
        for (double& r : Rain) r = VAL_ABSENT;
    }
};

// Calls f with each measurement field of `r` (InTemp to Rain8, a double& or an
// int32_t&, const for a const record) in the order of the Record table's
// columns, so storing, staging and printing a record never list the fields
// by hand.
template <class Record, class F>
void ForEachMeasurement(Record& r, F&& f) {
    f(r.InTemp);
    f(r.InHumi);
    for (auto& v : r.ChTemp) f(v);
    for (auto& v : r.ChHumi) f(v);
    for (auto& v : r.ChDewPoint) f(v);
    for (auto& v : r.ChFeelLike) f(v);
    f(r.AbsBaro);
    f(r.RelBaro);
    f(r.Wind);
    f(r.Gust);
    f(r.WindDir);
    for (auto& v : r.Rain) f(v);
}

constexpr int kMeasurementFields = 2 + 4 * kChannels + 5 + kRainKinds;  // 47

}  // namespace nimbary
