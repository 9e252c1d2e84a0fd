#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "CalendarTime.h"
#include "HistoryDb.h"
#include "ScratchFile.h"

namespace nimbary::testing {

// Station seconds of a calendar time.
inline uint32_t At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    CalendarTime c;
    c.Year = year;
    c.Month = month;
    c.Day = day;
    c.Hour = hour;
    c.Minute = minute;
    c.Second = second;
    uint32_t t = 0;
    c.ToStationTime(t);
    return t;
}

// Record i of a plausible station with the indoor sensor, outdoor channel
// 1, wind, gust, direction, pressure and every rain kind, at the station's
// resolution of a tenth.
inline HistoryRecord WeatherRecord(uint32_t devId, uint32_t stationTime, int i) {
    auto tenth = [](double v) { return std::round(v * 10) / 10; };
    HistoryRecord r;
    r.DevID = devId;
    r.RecTime = StationTimeToOleDate(stationTime);
    const double day = std::sin(i * 2 * M_PI / 288);  // a day of 5-minute records
    r.InTemp = tenth(70.0 + 2 * day);
    r.InHumi = 45 + i % 7;
    r.ChTemp[0] = tenth(50.0 + 15 * day);
    r.ChHumi[0] = 60 + i % 30;
    r.ChDewPoint[0] = tenth(38.0 + 5 * day);
    r.ChFeelLike[0] = tenth(48.0 + 14 * day);
    r.AbsBaro = tenth(1005.0 + (i % 100) * 0.1);
    r.RelBaro = tenth(1013.0 + (i % 100) * 0.1);
    r.Wind = tenth((i % 40) * 0.3);
    r.Gust = tenth((i % 40) * 0.5);
    r.WindDir = (i * 7) % 360;
    for (int k = 0; k < kRainKinds; ++k) r.Rain[k] = tenth((i % 50) * 0.3 * (k + 1));
    return r;
}

// Stores records through SaveRecords in batches, as the download does:
// `make(i)` gives record i of `n`.
template <class Make>
int SaveBatches(HistoryDb& db, uint32_t devId, int n, Make make) {
    db.Info().DevID = devId;
    const int kBatch = 20000;
    for (int first = 0; first < n; first += kBatch) {
        ScratchFile scratch;
        if (!scratch.Create()) return 2;
        const int end = std::min(n, first + kBatch);
        for (int i = first; i < end; ++i) scratch.Append(make(i));
        if (int rc = db.SaveRecords(static_cast<uint32_t>(end - first), scratch)) return rc;
    }
    return 0;
}

inline int SaveAll(HistoryDb& db, uint32_t devId, const std::vector<HistoryRecord>& records) {
    return SaveBatches(db, devId, static_cast<int>(records.size()),
                       [&](int i) { return records[i]; });
}

// `n` weather records, `interval` seconds apart from `start`.
inline int SaveWeather(HistoryDb& db, uint32_t devId, uint32_t start, int n,
                       uint32_t interval = 300) {
    return SaveBatches(db, devId, n, [&](int i) {
        return WeatherRecord(devId, start + interval * static_cast<uint32_t>(i), i);
    });
}

}  // namespace nimbary::testing
