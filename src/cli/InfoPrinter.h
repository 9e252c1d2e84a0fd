#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "HistoryDb.h"
#include "HistorySource.h"
#include "StationData.h"

namespace nimbary::cli {

// Runs the station's read operations one after another and prints every
// decoded field as Name=value in internal units, as held in memory. A failed
// operation prints none of its fields but a line naming it. Returns the
// names of the operations that failed; `info` receives the device
// information when it was read.
std::vector<std::string> PrintStationInfo(StationData& station, std::FILE* out,
                                          StationInfo* info = nullptr);

// The clock check: the station's newest history record and its interval,
// and a comment line when that record is more than two intervals away from
// `now` (station seconds). With `memory`, the memory status first. A memory
// that cannot be read is said in a comment and fails nothing, so captures
// taken before the check still replay.
void PrintClockCheck(HistorySource& station, uint32_t now, bool memory, std::FILE* out);

// The database's side of one station: its row (the download bookmark), the
// number of stored records and the gaps downloads found. False after a
// database error (its message shown).
bool PrintStoredHistory(HistoryDb& db, uint32_t devId, std::FILE* out);

}  // namespace nimbary::cli
