#include "RecordTime.h"

#include <QDateTime>
#include <QLocale>
#include <cmath>

namespace nimbary {

namespace {

const QDate kOleBase(1899, 12, 30);
constexpr double kSecondsPerDay = 86400.0;
constexpr double kUnixEpochOle = 25569.0;  // 1970-01-01

// The C and POSIX locales: formats of their own that a spreadsheet reads as text.
bool WithoutFormats(const QLocale& locale) {
    return locale.language() == QLocale::C;
}

// The instant the local clock shows `date` `time`; a time the clock skipped
// (the spring change) is placed at the first minute after the gap.
double LocalMsecs(const QDate& date, const QTime& time) {
    QDateTime at(date, time, Qt::LocalTime);
    const QDateTime wall(date, QTime(time.hour(), time.minute()), Qt::UTC);
    for (int minute = 1; !at.isValid() && minute <= 24 * 60; ++minute) {
        const QDateTime later = wall.addSecs(60 * minute);
        at = QDateTime(later.date(), later.time(), Qt::LocalTime);
    }
    return static_cast<double>(at.toMSecsSinceEpoch());
}

// Drops the time-zone field (t, outside quoted text) and the blank it leaves.
QString WithoutZone(const QString& format) {
    QString out;
    bool quoted = false;
    for (QChar c : format) {
        if (c == QLatin1Char('\'')) quoted = !quoted;
        if (quoted || c != QLatin1Char('t')) out += c;
    }
    return out.simplified();
}

}  // namespace

double OleDateFrom(const QDate& date, const QTime& time) {
    const double days = static_cast<double>(kOleBase.daysTo(date));
    const double fraction = QTime(0, 0).secsTo(time) / kSecondsPerDay;
    return days >= 0 ? days + fraction : days - fraction;
}

bool OleDateToCalendar(double oleDate, QDate& date, QTime& time) {
    if (!(oleDate >= kOleMin && oleDate < kOleEnd)) return false;
    const double whole = std::trunc(oleDate);
    int64_t seconds = std::llround(std::fabs(oleDate - whole) * kSecondsPerDay);
    qint64 day = static_cast<qint64>(whole);
    if (seconds >= 86400) {  // rounded up to the next midnight
        seconds -= 86400;
        ++day;
    }
    date = kOleBase.addDays(day);
    time = QTime(0, 0).addSecs(static_cast<int>(seconds));
    return date.isValid();
}

QString ShortDateFormat() {
    const QLocale locale;
    if (WithoutFormats(locale)) return QStringLiteral("yyyy-MM-dd");
    QString format = locale.dateFormat(QLocale::ShortFormat);
    // Two-digit years are ambiguous over a long history, and a picker reads
    // them into the wrong century.
    if (!format.contains(QLatin1String("yyyy"))) format.replace(QLatin1String("yy"), "yyyy");
    return format;
}

QString TimeWithSecondsFormat() {
    const QLocale locale;
    if (WithoutFormats(locale)) return QStringLiteral("HH:mm:ss");
    return WithoutZone(locale.timeFormat(QLocale::LongFormat));
}

std::string RecordTimeText(double oleDate) {
    QDate date;
    QTime time;
    if (!OleDateToCalendar(oleDate, date, time)) return "Invalid DateTime";
    // The format is made once per locale (and thread): a year's export asks
    // for a hundred thousand times.
    thread_local QLocale formatLocale = QLocale::c();
    thread_local QString format;
    const QLocale locale;
    if (format.isEmpty() || !(locale == formatLocale)) {
        formatLocale = locale;
        format = ShortDateFormat() + ' ' + TimeWithSecondsFormat();
    }
    // A zone-free date-time: no gap or repeat at a daylight-saving change.
    const QDateTime at(date, time, Qt::UTC);
    return locale.toString(at, format).toStdString();
}

std::string SampleTimeText() {
    return RecordTimeText(OleDateFrom(QDate(2016, 12, 28), QTime(22, 58, 58)));
}

std::string CurrentTimeText() {
    const QDateTime now = QDateTime::currentDateTime();
    return RecordTimeText(OleDateFrom(now.date(), now.time()));
}

// Record times lie after 2000, so the linear reading of an OLE date holds.
double AxisTime::Msecs(double oleDate) {
    const double whole = std::floor(oleDate);
    const auto day = static_cast<int64_t>(whole);
    if (day != day_) {
        day_ = day;
        const QDate date = kOleBase.addDays(day);
        const QDateTime start(date, QTime(0, 0), Qt::LocalTime);
        const QDateTime next(date.addDays(1), QTime(0, 0), Qt::LocalTime);
        changeDay_ =
            !start.isValid() || !next.isValid() || start.offsetFromUtc() != next.offsetFromUtc();
        offsetMs_ = start.isValid() ? start.offsetFromUtc() * 1000.0 : 0.0;
    }
    // Whole milliseconds: a record on the minute must not label as the one before.
    const double wall = std::round((oleDate - kUnixEpochOle) * kSecondsPerDay * 1000.0);
    if (!changeDay_) return wall - offsetMs_;
    QDate date;
    QTime time;
    if (!OleDateToCalendar(oleDate, date, time)) return wall - offsetMs_;
    return LocalMsecs(date, time);
}

double AxisTime::OleDate(double msecs) {
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(msecs)));
    return OleDateFrom(at.date(), at.time());
}

}  // namespace nimbary
