#include "RainAccumulator.h"

#include <initializer_list>

#include "CalendarTime.h"

namespace nimbary {

namespace {

constexpr double kShortLimit = 999.9;  // event, rate, hour, day, 24 hours
constexpr double kLongLimit = 9999.9;  // week, month

void Reduce(double& v, double limit) {
    if (v > limit && v < VAL_INVALID) v -= limit;
}

}  // namespace

void RainAccumulator::StartFromHeader(DeviceInfo& info, uint32_t start, double hour, double day,
                                      double week, double month, double total) {
    info.Rain[RAIN_HOUR] = hour;
    info.Rain[RAIN_DAY] = day;
    info.Rain[RAIN_WEEK] = week;
    info.Rain[RAIN_MONTH] = month;
    info.Rain[RAIN_TOTAL] = total;
    for (uint32_t& t : info.RainTime) t = start;
    info.RecTime = start;
}

void RainAccumulator::Accumulate(DeviceInfo& info, uint32_t t, double total) {
    double* rain = info.Rain;
    uint32_t* since = info.RainTime;
    if (rain[RAIN_TOTAL] == static_cast<double>(VAL_ABSENT)) {  // the first rain ever handled
        rain[RAIN_HOUR] = rain[RAIN_DAY] = rain[RAIN_WEEK] = rain[RAIN_MONTH] = 0.0;
        rain[RAIN_TOTAL] = total;
        for (int k = 0; k < kRainKinds; ++k) since[k] = t;
        return;
    }
    if (t < info.RecTime) return;  // older than the last record: nothing to add

    double delta = total - rain[RAIN_TOTAL];
    if (delta < 0) delta = 0;  // the station's total was reset
    rain[RAIN_TOTAL] = total;

    // Periods: elapsed times are unsigned 32-bit differences; calendar parts
    // are those of the station clock.
    const CalendarTime now = CalendarTime::FromStationTime(t);
    auto restart = [&](int kind) {
        since[kind] = t;
        rain[kind] = 0.0;
    };
    const CalendarTime hourStart = CalendarTime::FromStationTime(since[RAIN_HOUR]);
    if (t - since[RAIN_HOUR] >= 3600u || now.Hour != hourStart.Hour) restart(RAIN_HOUR);
    const CalendarTime dayStart = CalendarTime::FromStationTime(since[RAIN_DAY]);
    if (t - since[RAIN_DAY] >= 86400u || now.Day != dayStart.Day) restart(RAIN_DAY);
    const CalendarTime weekStart = CalendarTime::FromStationTime(since[RAIN_WEEK]);
    if (t - since[RAIN_WEEK] >= 604800u || now.Weekday < weekStart.Weekday) restart(RAIN_WEEK);
    const CalendarTime monthStart = CalendarTime::FromStationTime(since[RAIN_MONTH]);
    if (t - since[RAIN_MONTH] >= 2678400u || now.Month != monthStart.Month) restart(RAIN_MONTH);

    if (delta > 0) {
        rain[RAIN_HOUR] += delta;
        rain[RAIN_DAY] += delta;
        rain[RAIN_WEEK] += delta;
        rain[RAIN_MONTH] += delta;
    }
    // The station's displays wrap; the total itself is kept as the station
    // reports it, since the next record's increase is measured against it.
    for (int k : {RAIN_EVENT, RAIN_RATE, RAIN_HOUR, RAIN_DAY, RAIN_24HOUR})
        Reduce(rain[k], kShortLimit);
    for (int k : {RAIN_WEEK, RAIN_MONTH}) Reduce(rain[k], kLongLimit);
}

}  // namespace nimbary
