#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ClockCheck.h"
#include "GapFinder.h"

// What a download pass tells its user beyond its progress: the gaps it could
// not fill and a station clock that is off. Texts in the current language.
namespace nimbary {

// A station time as "2024-03-05 12:00".
std::string StationTimeText(uint32_t stationSeconds);
// "40 s", "25 min", "2 h 5 min" or "3 d 4 h".
std::string SpanText(uint64_t seconds);
// One gap with its span.
std::string GapText(const HistoryGap& gap);
// The gaps of one pass in one line: the gap, or how many and the longest.
std::string GapsText(const std::vector<HistoryGap>& gaps);
// How far the newest record is behind or ahead of the computer's clock.
std::string ClockText(const ClockCheck& check);

}  // namespace nimbary
