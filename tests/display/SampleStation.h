#pragma once

#include "StationData.h"

namespace nimbary {

// Fills a station image by hand with a plausible autumn day: indoor and
// outdoor channel 1, wind, pressure and, with `rain`, rain. The pressure
// series has one missing point so its line shows a dashed stretch.
void FillSampleStation(StationData& station, bool rain);

}  // namespace nimbary
