#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "HistoryRecord.h"

namespace nimbary {

class HistoryDb;

// Daily, monthly and yearly summaries of one station's records, on the
// station's clock, in the stored units (°F, %, hPa, m/s, mm). Sentinels
// (VAL_INVALID and up) never enter a minimum, maximum or mean.
enum class SummaryPeriod { Day, Month, Year };

// The measurements that get a minimum, maximum and mean: the first 38
// fields in ForEachMeasurement order, InTemp up to Gust.
constexpr int kStatFields = 38;
constexpr int kOutdoorTemperatureField = 2;  // Ch1Temp, of the degree days
constexpr int kStatWind = 36;                // Wind, then Gust
constexpr int kStatGust = 37;
constexpr int kCompassPoints = 16;

// Heating and cooling degree days are counted from 65 °F (18.3 °C).
constexpr double kDegreeDayBase = 65.0;

struct Extreme {
    double value = VAL_ABSENT;       // VAL_ABSENT: no reading
    uint32_t time = 0;               // station seconds of the first record with it
    int32_t direction = VAL_ABSENT;  // the wind direction of that record (wind and gust)
    bool Valid() const { return value != VAL_ABSENT; }
};

// One measurement over a period.
struct FieldSummary {
    int stored = 0;  // records that hold the field (sentinels included)
    int count = 0;   // records with a reading
    double sum = 0;
    Extreme min, max;
    // The mean of the readings; VAL_ABSENT without any.
    double Mean() const { return count ? sum / count : VAL_ABSENT; }
};

struct PeriodSummary {
    // The period: its first second, and its last second within the range.
    uint32_t start = 0;
    uint32_t last = 0;

    std::array<FieldSummary, kStatFields> fields;

    // Wind: the speed of each of the 16 compass points (N, NNE, ... NNW)
    // summed over the records blowing from it.
    std::array<double, kCompassPoints> compass{};
    // The point the wind came from most, weighted by speed; -1 when calm
    // or without direction.
    int DominantPoint() const;

    // Rain from the rain-total counter, mm: rises between records, each
    // counted in the period of the later record; a fall is a reset.
    int rainReadings = 0;
    double rain = 0;
    // The clock hour with the most rain: its amount (mm, so mm/h) and start.
    Extreme rainHour;

    // Degree days (°F days) from the means of outdoor temperature of the
    // days of the period; days counts the days with such a mean.
    int degreeDays = 0;
    double heating = 0, cooling = 0;

    // Records present (distinct times) against those the record interval
    // gives the period, from its start (or the range's) to its end (or the
    // range's); records = the rows stored.
    int records = 0;
    int present = 0;
    int expected = 0;
    double Coverage() const { return expected ? 100.0 * present / expected : 0.0; }
};

struct SummaryRequest {
    uint32_t devId = 0;
    SummaryPeriod period = SummaryPeriod::Day;
    // OLE dates, both ends included. An open end runs to the station's
    // first or last record in the range; the coverage of a closed end
    // counts from the bound itself (a station that stopped early shows it).
    double start = 0.0;
    double end = 1e7;
    bool openStart = false;
    bool openEnd = false;
};

// The name of compass point 0..15: "N", "NNE", ... "NNW".
const char* CompassPointName(int point);
// The compass point (0..15) of a direction in degrees.
int CompassPoint(int32_t degrees);

// The period that holds `stationSeconds`: its first second, and the first
// second of the next one.
uint32_t PeriodStart(SummaryPeriod period, uint32_t stationSeconds);
uint64_t PeriodEnd(SummaryPeriod period, uint32_t stationSeconds);

// The summaries of the periods that hold a record in the range, oldest
// first: one SQLite aggregate query over the records, by day, merged into
// months and years. 0 on success; 1 when the database failed (its message
// shown).
int Summarize(HistoryDb& db, const SummaryRequest& request, std::vector<PeriodSummary>& out);

}  // namespace nimbary
