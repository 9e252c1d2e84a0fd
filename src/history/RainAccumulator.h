#pragma once

#include <cstdint>

#include "HistoryDb.h"

namespace nimbary {

// The hour, day, week and month rain sums the station does not record, kept
// in a station's DeviceInfo from one record's rain total to the next.
class RainAccumulator {
public:
    // Accounts for a record at station time t with rain total `total` (mm).
    static void Accumulate(DeviceInfo& info, uint32_t t, double total);
    // Starts the sums from a block's rain header (hour, day, week, month) and
    // the first record's total, all periods beginning at the block's start.
    static void StartFromHeader(DeviceInfo& info, uint32_t start, double hour, double day,
                                double week, double month, double total);
};

}  // namespace nimbary
