#pragma once

#include <cstdint>
#include <string>

#include "HistorySummary.h"

struct sqlite3;

// The aggregate functions of the summary query, registered on every
// connection of HistoryDb. SQLite's own min() and max() cannot say when an
// extreme happened, and the rain counter and the coverage need the records
// in time order; these do, each returning its day's result as a blob.
namespace nimbary::summary {

// summary_stats(time, direction, InTemp, ... Gust): the fields of
// HistorySummary's kStatFields, readings below VAL_INVALID only. Times are
// OLE dates; on a tie the earlier record wins.
struct StatPart {
    int64_t stored = 0;  // non-NULL values, sentinels included
    int64_t count = 0;   // readings
    double sum = 0;
    double min = 0, minTime = 0;
    double max = 0, maxTime = 0;
    int64_t maxDirection = 0;  // the direction at the maximum (VAL_ABSENT without)
};
using StatParts = StatPart[kStatFields];

// summary_compass(direction, speed): speed summed per compass point.
struct CompassPart {
    double points[16] = {};
};

// summary_rain(total, time): the rain-total counter's valid readings of
// one day, in time order.
struct RainPart {
    int64_t count = 0;
    uint32_t firstTime = 0, lastTime = 0;  // station seconds
    double first = 0, last = 0;            // the counter, mm
    double hours[24] = {};  // the rises between its readings, by clock hour of the later one
};

// summary_slots(time): the record times of one day, distinct, in order.
struct SlotPart {
    int64_t present = 0;
    uint32_t firstTime = 0, lastTime = 0;
    int64_t missing = 0;  // records the record interval expects between the first and the last
    // The record interval (seconds) at the first and at the last record; 0
    // for a day of one record.
    int64_t firstInterval = 0, lastInterval = 0;
};

// Returns an SQLite status.
int RegisterFunctions(sqlite3* db);

// The summary query: one row a day of the range, in the day index's order.
// Parameters: ?1 DevID, ?2 and ?3 the first and last day (whole OLE days),
// ?4 and ?5 the time bounds.
std::string DayQuery();

// The record interval in force across the spacing `s` between two records,
// given the spacings before and after it (0 where there is none): a spacing
// longer than both neighbours is a gap in their interval, one that a
// neighbour shares is the interval itself (it changed there).
int64_t IntervalAcross(int64_t before, int64_t s, int64_t after);

}  // namespace nimbary::summary
