#include "HistoryNotices.h"

#include <algorithm>
#include <cstdio>

#include "CalendarTime.h"
#include "StringTable.h"

namespace nimbary {

std::string StationTimeText(uint32_t stationSeconds) {
    const CalendarTime c = CalendarTime::FromStationTime(stationSeconds);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d", c.Year, c.Month, c.Day, c.Hour,
                  c.Minute);
    return buf;
}

std::string SpanText(uint64_t seconds) {
    const int days = int(seconds / 86400), hours = int(seconds / 3600 % 24);
    const int minutes = int(seconds / 60 % 60);
    if (seconds < 60) return text::Format(2137, {int(seconds)});
    if (seconds < 3600) return text::Format(2134, {minutes});
    if (seconds < 86400) return text::Format(2135, {hours, minutes});
    return text::Format(2136, {days, hours});
}

std::string GapText(const HistoryGap& gap) {
    return text::Format(
        2130, {StationTimeText(gap.From), StationTimeText(gap.To), SpanText(gap.Seconds())});
}

std::string GapsText(const std::vector<HistoryGap>& gaps) {
    if (gaps.empty()) return {};
    if (gaps.size() == 1) return GapText(gaps.front());
    const HistoryGap& longest = *std::max_element(
        gaps.begin(), gaps.end(),
        [](const HistoryGap& a, const HistoryGap& b) { return a.Seconds() < b.Seconds(); });
    return text::Format(2131, {int(gaps.size()), StationTimeText(longest.From),
                               StationTimeText(longest.To), SpanText(longest.Seconds())});
}

std::string ClockText(const ClockCheck& check) {
    const bool behind = check.Behind >= 0;
    const uint64_t span = uint64_t(behind ? check.Behind : -check.Behind);
    return text::Format(behind ? 2132 : 2133, {StationTimeText(check.Newest), SpanText(span)});
}

}  // namespace nimbary
