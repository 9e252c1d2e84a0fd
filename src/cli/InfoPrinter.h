#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "StationData.h"

namespace nimbary::cli {

// Runs the station's read operations one after another and prints every
// decoded field as Name=value in internal units, as held in memory. A failed
// operation prints none of its fields but a line naming it. Returns the
// names of the operations that failed.
std::vector<std::string> PrintStationInfo(StationData& station, std::FILE* out);

}  // namespace nimbary::cli
