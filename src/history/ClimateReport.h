#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "HistorySummary.h"
#include "Units.h"

namespace nimbary {

class HistoryDb;

// The monthly and yearly climatological summaries weather services publish
// and hobbyists exchange, as fixed-width text in English: one row a day (a
// month) with the outdoor temperature's mean, high and low with their
// times, the degree days, the rain, the mean wind and the highest gust with
// its time, and the dominant direction; totals and extremes at the foot.
// Values are in `units`, the station's own.
class ClimateReport {
public:
    // The report of `month` (1..12) of `year`, or of the whole year when
    // `month` is 0, into `out`; `any` tells whether the period has a record.
    // 0, or 1 when the database failed.
    static int Make(HistoryDb& db, uint32_t devId, int year, int month, const UnitSet& units,
                    std::string& out, bool* any = nullptr);

    // The text itself, from the summaries of the period's days, its months
    // (the yearly report's rows) and the whole period.
    static std::string Monthly(uint32_t devId, int year, int month,
                               const std::vector<PeriodSummary>& days, const PeriodSummary* whole,
                               const UnitSet& units);
    static std::string Yearly(uint32_t devId, int year, const std::vector<PeriodSummary>& days,
                              const std::vector<PeriodSummary>& months, const PeriodSummary* whole,
                              const UnitSet& units);
};

}  // namespace nimbary
