#include "StationTime.h"

#include <chrono>
#include <ctime>

namespace nimbary::sim {

namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (m <= 2));
}

const int64_t kEpoch2000 = DaysFromCivil(2000, 1, 1);

}  // namespace

int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    if (month == 2) {
        bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        return leap ? 29 : 28;
    }
    return kDays[month - 1];
}

CalendarTime ToCalendar(uint32_t t) {
    CalendarTime c;
    const int64_t days = t / 86400;
    const uint32_t rest = t % 86400;
    CivilFromDays(kEpoch2000 + days, c.year, c.month, c.day);
    c.hour = static_cast<int>(rest / 3600);
    c.minute = static_cast<int>(rest % 3600 / 60);
    c.second = static_cast<int>(rest % 60);
    c.weekday = static_cast<int>((days + 6) % 7);
    return c;
}

bool FromCalendar(int year, int month, int day, int hour, int minute, int second, uint32_t& out) {
    if (year < 2000 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
        hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return false;
    const int64_t days =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpoch2000;
    const int64_t s = days * 86400 + hour * 3600 + minute * 60 + second;
    if (s < 0 || s > 0xFFFFFFFFLL) return false;
    out = static_cast<uint32_t>(s);
    return true;
}

uint32_t HourStart(uint32_t t) {
    return t - t % 3600;
}
uint32_t DayStart(uint32_t t) {
    return t - t % 86400;
}

uint32_t WeekStart(uint32_t t) {
    const uint32_t day = DayStart(t);
    const uint32_t weekday = static_cast<uint32_t>(ToCalendar(t).weekday);
    return day >= weekday * 86400u ? day - weekday * 86400u : 0;
}

uint32_t MonthStart(uint32_t t) {
    const CalendarTime c = ToCalendar(t);
    return DayStart(t) - static_cast<uint32_t>(c.day - 1) * 86400u;
}

double LocalNowStationSeconds() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t tt = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&tt, &local);
    uint32_t s = 0;
    if (!FromCalendar(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                      local.tm_min, local.tm_sec > 59 ? 59 : local.tm_sec, s))
        return 0.0;
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    return s + ms / 1000.0;
}

}  // namespace nimbary::sim
