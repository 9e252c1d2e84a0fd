#include "ClockCheck.h"

#include <chrono>
#include <ctime>

#include "CalendarTime.h"

namespace nimbary {

ClockCheck ClockCheck::Of(uint32_t newest, uint32_t interval, uint32_t now) {
    ClockCheck c;
    c.Known = interval > 0 && now > 0;
    c.Newest = newest;
    c.Interval = interval;
    c.Behind = int64_t(now) - int64_t(newest);
    return c;
}

bool ClockCheck::Off() const {
    const int64_t limit = 2 * int64_t(Interval);
    return Known && (Behind > limit || Behind < -limit);
}

uint32_t LocalNowStationTime() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    localtime_r(&now, &local);
    CalendarTime c;
    c.Year = local.tm_year + 1900;
    c.Month = local.tm_mon + 1;
    c.Day = local.tm_mday;
    c.Hour = local.tm_hour;
    c.Minute = local.tm_min;
    c.Second = local.tm_sec > 59 ? 59 : local.tm_sec;  // a leap second
    uint32_t t = 0;
    return c.ToStationTime(t) ? t : 0;
}

}  // namespace nimbary
