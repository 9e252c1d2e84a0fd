#pragma once

#include <cstdint>
#include <vector>

#include "CalendarTime.h"
#include "Derived.h"
#include "HistoryRecord.h"
#include "WeatherModel.h"

namespace nimbary::testing {

// A year of the simulated station's weather at 5-minute records, with what
// a real history holds besides: the rain gauge reset in mid-June, hours of
// invalid outdoor readings, a station out of range (High, Low), a missing
// afternoon, a whole missing day, and a week recorded every 10 minutes.
inline std::vector<HistoryRecord> SimulatedYear(uint32_t devId, int year, uint64_t seed = 11) {
    CalendarTime c;
    c.Year = year;
    uint32_t start = 0, end = 0;
    c.ToStationTime(start);
    c.Year = year + 1;
    c.ToStationTime(end);
    sim::WeatherModel weather(seed, start - 86400);
    const uint32_t reset = start + 166 * 86400 + 13 * 3600;  // mid-June, 13:00
    double resetAt = -1;                                     // the gauge's total at the reset
    std::vector<HistoryRecord> out;
    out.reserve(106000);
    for (uint32_t t = start; t < end;) {
        const uint32_t day = (t - start) / 86400;
        const uint32_t secondOfDay = (t - start) % 86400;
        const bool afternoonGap = day == 40 && secondOfDay >= 13 * 3600 && secondOfDay < 19 * 3600;
        const bool missingDay = day == 100;
        const uint32_t interval = day >= 200 && day < 207 ? 600 : 300;
        if (!afternoonGap && !missingDay) {
            const sim::WeatherSample w = weather.At(t);
            HistoryRecord r;
            r.DevID = devId;
            r.RecTime = StationTimeToOleDate(t);
            r.InTemp = w.inTemp / 10.0;
            r.InHumi = w.inHumi;
            r.ChTemp[0] = w.chTemp[0] / 10.0;
            r.ChHumi[0] = w.chHumi[0];
            r.AbsBaro = w.absBaro / 10.0;
            r.RelBaro = (w.absBaro + 84) / 10.0;
            r.Wind = w.wind / 10.0;
            r.Gust = w.gust / 10.0;
            r.WindDir = w.windDir;
            double total = weather.RainTotal(t) / 10.0;
            if (t >= reset) {
                if (resetAt < 0) resetAt = total;
                total -= resetAt;
            }
            r.Rain[RAIN_TOTAL] = total;
            if (day == 60 && secondOfDay >= 2 * 3600 && secondOfDay < 5 * 3600) {
                r.ChTemp[0] = VAL_INVALID;  // the outdoor sensor lost
                r.ChHumi[0] = VAL_INVALID;
            }
            if (day == 61 && secondOfDay == 12 * 3600) r.ChTemp[0] = VAL_HIGH;
            if (day == 62 && secondOfDay == 3 * 3600) r.ChTemp[0] = VAL_LOW;
            if (day == 90 && secondOfDay == 6 * 3600) r.Rain[RAIN_TOTAL] = VAL_INVALID;
            if (!IsSentinel(r.ChTemp[0]) && !IsSentinel(r.ChHumi[0])) {
                r.ChDewPoint[0] = CalcDewPoint(r.ChTemp[0], r.ChHumi[0]);
                r.ChFeelLike[0] = CalcFeelsLike(r.ChTemp[0], r.Wind, r.ChHumi[0]);
            }
            out.push_back(r);
        }
        t += interval;
    }
    return out;
}

}  // namespace nimbary::testing
