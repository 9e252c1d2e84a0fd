#pragma once

#include <cstdint>

// Station times are seconds since 2000-01-01 00:00 on the station's own
// (local) clock. These helpers turn them into calendar parts and back.
namespace nimbary::sim {

struct CalendarTime {
    int year = 2000;  // full year
    int month = 1;    // 1..12
    int day = 1;      // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int weekday = 6;  // 0 Sunday .. 6 Saturday (2000-01-01 was a Saturday)
};

CalendarTime ToCalendar(uint32_t stationSeconds);
// False when a field is out of range or the date is before 2000 or after
// the 32-bit range.
bool FromCalendar(int year, int month, int day, int hour, int minute, int second,
                  uint32_t& stationSeconds);
int DaysInMonth(int year, int month);

// Start of the hour, the day, the week (Sunday 00:00) and the month that
// hold t.
uint32_t HourStart(uint32_t t);
uint32_t DayStart(uint32_t t);
uint32_t WeekStart(uint32_t t);
uint32_t MonthStart(uint32_t t);

// The machine's local time now, in station seconds (with the fraction).
double LocalNowStationSeconds();

}  // namespace nimbary::sim
