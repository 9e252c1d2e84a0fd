#pragma once

#include <QDate>
#include <QString>
#include <QTime>
#include <cstdint>
#include <string>

namespace nimbary {

// Record times are OLE Automation dates: days since 1899-12-30 00:00, the
// fraction being the time of day (before that day the whole part counts
// back and the fraction still forward), on the station's clock: no time zone.
constexpr double kOleMin = -657434.0;  // 0100-01-01
constexpr double kOleEnd = 2958466.0;  // 10000-01-01, first date past the range

double OleDateFrom(const QDate& date, const QTime& time);
// The date and time to the nearest second; false for a value outside the
// range (or not a number).
bool OleDateToCalendar(double oleDate, QDate& date, QTime& time);

// The user's locale (QLocale()): its short date with the year in four
// digits, and its time of day with seconds, without a time zone.
QString ShortDateFormat();
QString TimeWithSecondsFormat();
// A record time as the Time column shows it; "Invalid DateTime" outside the range.
std::string RecordTimeText(double oleDate);
// 28 December 2016 22:58:58 in that format: the Time column's measure.
std::string SampleTimeText();
// The local time now, in that format.
std::string CurrentTimeText();

// Milliseconds since the epoch at which the local clock shows a record
// time, for the chart's date-time axis (which shows local time). The zone
// offset is taken once per day, so walking sorted times costs one zone
// lookup a day.
class AxisTime {
public:
    double Msecs(double oleDate);

private:
    int64_t day_ = INT64_MIN;
    double offsetMs_ = 0;
};

}  // namespace nimbary
