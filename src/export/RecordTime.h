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
// digits, and its time of day with seconds, without a time zone. A locale
// without formats of its own (C, POSIX) gets ISO 8601's, "2026-12-09
// 18:55:00", which a spreadsheet reads as a time.
QString ShortDateFormat();
QString TimeWithSecondsFormat();
// A record time as the Time column shows it; "Invalid DateTime" outside the range.
std::string RecordTimeText(double oleDate);
// 28 December 2016 22:58:58 in that format: the Time column's measure.
std::string SampleTimeText();
// The local time now, in that format.
std::string CurrentTimeText();

// Milliseconds since the epoch at which the local clock shows a record
// time, for the chart's date-time axis (which shows local time): each
// record with its own zone offset. A day without a daylight-saving change
// costs one zone lookup; on a change day each record is looked up, and a
// time the clock skipped is placed at the change, so the line never runs
// backwards.
class AxisTime {
public:
    double Msecs(double oleDate);
    // The record time (OLE date) the local clock shows at `msecs`.
    static double OleDate(double msecs);

private:
    int64_t day_ = INT64_MIN;
    bool changeDay_ = false;
    double offsetMs_ = 0;
};

}  // namespace nimbary
