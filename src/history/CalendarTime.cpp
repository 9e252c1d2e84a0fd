#include "CalendarTime.h"

#include <cmath>

namespace nimbary {

namespace {

constexpr int64_t kDaysTo2000 = 10957;   // 1970-01-01 .. 2000-01-01
constexpr double kOleDay2000 = 36526.0;  // 1899-12-30 .. 2000-01-01

// Days since 1970-01-01 of a Gregorian date (H. Hinnant's days_from_civil).
int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

int DaysInMonth(int y, int m) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : kDays[m - 1];
}

}  // namespace

CalendarTime CalendarTime::FromStationTime(uint32_t seconds) {
    CalendarTime c;
    const int64_t days = seconds / 86400;
    const uint32_t rest = seconds % 86400;
    CivilFromDays(days + kDaysTo2000, c.Year, c.Month, c.Day);
    c.Hour = static_cast<int>(rest / 3600);
    c.Minute = static_cast<int>(rest / 60 % 60);
    c.Second = static_cast<int>(rest % 60);
    c.Weekday = static_cast<int>((days + 6) % 7) + 1;  // day 0 was a Saturday (7)
    return c;
}

bool CalendarTime::ToStationTime(uint32_t& seconds) const {
    if (Month < 1 || Month > 12 || Day < 1 || Day > DaysInMonth(Year, Month) || Hour < 0 ||
        Hour > 23 || Minute < 0 || Minute > 59 || Second < 0 || Second > 59)
        return false;
    const int64_t days = DaysFromCivil(Year, Month, Day) - kDaysTo2000;
    const int64_t total = days * 86400 + Hour * 3600 + Minute * 60 + Second;
    if (total < 0 || total > 0xFFFFFFFFll) return false;
    seconds = static_cast<uint32_t>(total);
    return true;
}

double StationTimeToOleDate(uint32_t seconds) {
    return kOleDay2000 + static_cast<double>(seconds / 86400) +
           static_cast<double>(seconds % 86400) / 86400.0;
}

bool OleDateToStationTime(double oleDate, uint32_t& seconds) {
    const double s = std::round((oleDate - kOleDay2000) * 86400.0);
    if (!(s >= 0.0 && s <= 4294967295.0)) return false;
    seconds = static_cast<uint32_t>(s);
    return true;
}

}  // namespace nimbary
