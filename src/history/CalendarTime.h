#pragma once

#include <cstdint>

namespace nimbary {

// A station time as a calendar date. Station times are 32-bit seconds since
// 2000-01-01 00:00 of the station's own clock; the calendar is plain
// Gregorian arithmetic on those seconds, with no host time zone involved.
struct CalendarTime {
    int Year = 2000;
    int Month = 1;  // 1..12
    int Day = 1;    // 1..31
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int Weekday = 7;  // Sunday 1 .. Saturday 7 (2000-01-01 was a Saturday)

    static CalendarTime FromStationTime(uint32_t seconds);
    // Seconds since 2000-01-01 00:00; false when the date lies outside the
    // 32-bit station range or a field is out of its range.
    bool ToStationTime(uint32_t& seconds) const;
};

// Station seconds to an OLE Automation date (days since 1899-12-30), as whole
// days plus the fraction of the day, so that whole seconds come back exactly.
double StationTimeToOleDate(uint32_t seconds);
// The nearest station second of an OLE date; false outside the station range.
bool OleDateToStationTime(double oleDate, uint32_t& seconds);

}  // namespace nimbary
