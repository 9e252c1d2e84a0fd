#include "TimeArg.h"

#include <cctype>
#include <cstdio>

#include "CalendarTime.h"

namespace nimbary::cli {

namespace {

// `n` digits at `at`; false when they are not all digits.
bool Digits(const std::string& s, size_t at, size_t n, int& out) {
    if (at + n > s.size()) return false;
    out = 0;
    for (size_t i = at; i < at + n; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}

}  // namespace

bool TimeArg::Parse(const std::string& text, bool endOfPeriod, uint32_t& seconds,
                    std::string& error) {
    CalendarTime c;
    bool ok = Digits(text, 0, 4, c.Year) && text.size() >= 10 && text[4] == '-' &&
              Digits(text, 5, 2, c.Month) && text[7] == '-' && Digits(text, 8, 2, c.Day);
    int span = 86400;  // the period the text names
    if (ok && text.size() > 10) {
        ok = (text[10] == 'T' || text[10] == ' ') && text.size() >= 16 &&
             Digits(text, 11, 2, c.Hour) && text[13] == ':' && Digits(text, 14, 2, c.Minute);
        span = 60;
        if (ok && text.size() > 16) {
            ok = text.size() == 19 && text[16] == ':' && Digits(text, 17, 2, c.Second);
            span = 1;
        }
    }
    uint32_t start = 0;
    if (!ok || !c.ToStationTime(start)) {
        error = "\"" + text +
                "\" is not a time from 2000-01-01 on; write 2024-03-05, 2024-03-05T12:00 or "
                "2024-03-05T12:00:30";
        return false;
    }
    const uint64_t last = static_cast<uint64_t>(start) + static_cast<uint32_t>(span - 1);
    seconds = endOfPeriod ? static_cast<uint32_t>(last > 0xFFFFFFFFu ? 0xFFFFFFFFu : last) : start;
    return true;
}

std::string TimeArg::Format(uint32_t stationSeconds) {
    const CalendarTime c = CalendarTime::FromStationTime(stationSeconds);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", c.Year, c.Month, c.Day, c.Hour,
                  c.Minute, c.Second);
    return buf;
}

}  // namespace nimbary::cli
