#include "ClimateReport.h"

#include <cstdio>

#include "CalendarTime.h"
#include "Format.h"
#include "SummaryTable.h"

namespace nimbary {

namespace {

constexpr int kOutTemp = kOutdoorTemperatureField;

const char* const kMonthNames[] = {"January",   "February", "March",    "April",
                                   "May",       "June",     "July",     "August",
                                   "September", "October",  "November", "December"};
const char* const kMonthShort[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                   "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

using Cells = std::vector<std::string>;

// One line of right-aligned cells, each in its width; no trailing blanks.
std::string Line(const std::vector<int>& widths, const Cells& cells) {
    std::string text;
    for (size_t c = 0; c < cells.size(); ++c) {
        const size_t width = static_cast<size_t>(widths[c]);
        if (cells[c].size() < width) text.append(width - cells[c].size(), ' ');
        text += cells[c];
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text + "\n";
}

std::string Rule(const std::vector<int>& widths) {
    int width = 0;
    for (int w : widths) width += w;
    return std::string(width, '-') + "\n";
}

// The three header lines of the columns, then the rule.
std::string Header(const std::vector<int>& widths, const Cells& top, const Cells& middle,
                   const Cells& bottom) {
    return Line(widths, top) + Line(widths, middle) + Line(widths, bottom) + Rule(widths);
}

std::string TwoDigits(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

std::string Clock(uint32_t t) {
    const CalendarTime c = CalendarTime::FromStationTime(t);
    return TwoDigits(c.Hour) + ":" + TwoDigits(c.Minute);
}

int DayOf(uint32_t t) {
    return CalendarTime::FromStationTime(t).Day;
}

std::string MonthDay(uint32_t t) {
    const CalendarTime c = CalendarTime::FromStationTime(t);
    return TwoDigits(c.Month) + "-" + TwoDigits(c.Day);
}

// A cell of a measurement: blank when the station has none, the dashes of
// the formatter when it had no reading.
std::string TempCell(const FieldSummary& f, double v, const UnitSet& u) {
    if (!f.stored) return {};
    return FormatTemp(f.count ? v : VAL_INVALID, FMT_VALUE, u);
}
std::string WindCell(const FieldSummary& f, double v, const UnitSet& u) {
    if (!f.stored) return {};
    return FormatWind(f.count ? v : VAL_INVALID, FMT_VALUE, u);
}

// The high wind: the highest gust, or the highest speed without a gust sensor.
const FieldSummary& HighWind(const PeriodSummary& p) {
    return p.fields[kStatGust].stored ? p.fields[kStatGust] : p.fields[kStatWind];
}

std::string DegreeDaysCell(const PeriodSummary& p, double v, const UnitSet& u) {
    if (!p.fields[kOutTemp].stored) return {};
    return p.degreeDays ? FormatDegreeDays(v, u) : FormatTemp(VAL_INVALID, FMT_VALUE, u);
}

std::string RainCell(const PeriodSummary& p, const UnitSet& u) {
    return p.rainReadings ? FormatRain(p.rain, FMT_VALUE, u) : std::string();
}

std::string Dominant(const PeriodSummary& p) {
    if (!p.fields[kStatWind].stored) return {};
    const int point = p.DominantPoint();
    return point < 0 ? "--" : CompassPointName(point);
}

std::string Heading(const std::string& title, uint32_t devId, const UnitSet& u) {
    char id[16];
    std::snprintf(id, sizeof id, "%08X", devId);
    return "                   " + title + "\n\nSTATION: " + id +
           "\n\n                   TEMPERATURE (" + TempUnitName(u) + "), RAIN (" +
           RainUnitName(u) + "), WIND SPEED (" + WindUnitName(u) + ")\n\n";
}

std::string CoverageLine(const PeriodSummary* whole) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "RECORDS: %d OF %d EXPECTED (%s%%)\n",
                  whole ? whole->present : 0, whole ? whole->expected : 0,
                  FixedText(whole ? whole->Coverage() : 0.0, 1).c_str());
    return buf;
}

// The rainiest day, and the days it rained.
struct RainDays {
    const PeriodSummary* wettest = nullptr;
    int days = 0;
};
RainDays RainOf(const std::vector<PeriodSummary>& days, uint32_t from, uint32_t to) {
    RainDays r;
    for (const PeriodSummary& d : days) {
        if (d.start < from || d.start > to || !d.rainReadings) continue;
        if (d.rain > 0) ++r.days;
        if (!r.wettest || d.rain > r.wettest->rain) r.wettest = &d;
    }
    return r;
}

}  // namespace

std::string ClimateReport::Monthly(uint32_t devId, int year, int month,
                                   const std::vector<PeriodSummary>& days,
                                   const PeriodSummary* whole, const UnitSet& u) {
    static const std::vector<int> w = {3, 7, 7, 7, 7, 7, 7, 7, 8, 7, 7, 7, 6};
    std::string out = Heading(std::string("MONTHLY CLIMATOLOGICAL SUMMARY for ") +
                                  kMonthNames[month - 1] + " " + std::to_string(year),
                              devId, u);
    out += Header(w, {"", "", "", "", "", "", "HEAT", "COOL", "", "AVG", "", "", ""},
                  {"", "MEAN", "", "", "", "", "DEG", "DEG", "", "WIND", "", "", "DOM"},
                  {"DAY", "TEMP", "HIGH", "TIME", "LOW", "TIME", "DAYS", "DAYS", "RAIN", "SPEED",
                   "HIGH", "TIME", "DIR"});
    // A day's line (its extremes' times), or the foot's (their days).
    auto row = [&](const std::string& first, const PeriodSummary& p, auto when) {
        const FieldSummary& t = p.fields[kOutTemp];
        const FieldSummary& high = HighWind(p);
        return Line(w, {first, TempCell(t, t.Mean(), u), TempCell(t, t.max.value, u),
                        t.count ? when(t.max.time) : "", TempCell(t, t.min.value, u),
                        t.count ? when(t.min.time) : "", DegreeDaysCell(p, p.heating, u),
                        DegreeDaysCell(p, p.cooling, u), RainCell(p, u),
                        WindCell(p.fields[kStatWind], p.fields[kStatWind].Mean(), u),
                        WindCell(high, high.max.value, u), high.count ? when(high.max.time) : "",
                        Dominant(p)});
    };

    CalendarTime c;
    c.Year = year;
    c.Month = month;
    uint32_t first = 0;
    c.ToStationTime(first);
    const uint32_t next = static_cast<uint32_t>(PeriodEnd(SummaryPeriod::Month, first));
    size_t d = 0;
    for (uint32_t dayStart = first; dayStart < next && dayStart >= first; dayStart += 86400) {
        while (d < days.size() && days[d].start < dayStart) ++d;
        const std::string day = TwoDigits(DayOf(dayStart));
        const bool recorded = d < days.size() && days[d].start < dayStart + 86400;
        out += recorded ? row(day, days[d], Clock) : Line(w, {day});
    }
    out += Rule(w);
    if (whole) out += row("", *whole, [](uint32_t t) { return TwoDigits(DayOf(t)); });
    out += "\n";
    const RainDays rain = RainOf(days, first, next - 1);
    if (rain.wettest)
        out += "MAX RAIN: " + FormatRain(rain.wettest->rain, FMT_VALUE, u) + " ON " +
               TwoDigits(DayOf(rain.wettest->start)) +
               "\nDAYS OF RAIN: " + std::to_string(rain.days) + "\n";
    out += CoverageLine(whole);
    return out;
}

std::string ClimateReport::Yearly(uint32_t devId, int year, const std::vector<PeriodSummary>& days,
                                  const std::vector<PeriodSummary>& months,
                                  const PeriodSummary* whole, const UnitSet& u) {
    static const std::vector<int> w = {3, 7, 7, 7, 7, 6, 7, 6, 8, 7, 8, 7, 6, 7, 7, 6, 5};
    std::string out =
        Heading("ANNUAL CLIMATOLOGICAL SUMMARY for " + std::to_string(year), devId, u);
    out += Header(
        w, {"", "", "", "", "", "", "", "", "HEAT", "COOL", "", "MAX", "", "AVG", "", "", ""},
        {"", "MEAN", "MEAN", "", "", "", "", "", "DEG", "DEG", "", "DAY", "", "WIND", "", "",
         "DOM"},
        {"MO", "MAX", "MIN", "MEAN", "HIGH", "DAY", "LOW", "DAY", "DAYS", "DAYS", "RAIN", "RAIN",
         "DAY", "SPEED", "HIGH", "DAY", "DIR"});

    // The means of the days' highs and lows of the outdoor temperature.
    auto dailyMeans = [&](uint32_t from, uint32_t to, FieldSummary& highs, FieldSummary& lows) {
        for (const PeriodSummary& d : days) {
            const FieldSummary& t = d.fields[kOutTemp];
            if (d.start < from || d.start > to || !t.stored) continue;
            ++highs.stored;
            ++lows.stored;
            if (!t.count) continue;
            ++highs.count;
            highs.sum += t.max.value;
            ++lows.count;
            lows.sum += t.min.value;
        }
    };
    // A month's line (the day of its extremes), or the foot's (month and day).
    auto row = [&](const std::string& first, const PeriodSummary& p, uint32_t from, uint32_t to,
                   bool foot) {
        auto when = [&](uint32_t t) { return foot ? MonthDay(t) : TwoDigits(DayOf(t)); };
        const FieldSummary& t = p.fields[kOutTemp];
        const FieldSummary& high = HighWind(p);
        FieldSummary highs, lows;
        dailyMeans(from, to, highs, lows);
        const RainDays rain = RainOf(days, from, to);
        return Line(w, {first, TempCell(highs, highs.Mean(), u), TempCell(lows, lows.Mean(), u),
                        TempCell(t, t.Mean(), u), TempCell(t, t.max.value, u),
                        t.count ? when(t.max.time) : "", TempCell(t, t.min.value, u),
                        t.count ? when(t.min.time) : "", DegreeDaysCell(p, p.heating, u),
                        DegreeDaysCell(p, p.cooling, u), RainCell(p, u),
                        rain.wettest ? FormatRain(rain.wettest->rain, FMT_VALUE, u) : "",
                        rain.wettest ? when(rain.wettest->start) : "",
                        WindCell(p.fields[kStatWind], p.fields[kStatWind].Mean(), u),
                        WindCell(high, high.max.value, u), high.count ? when(high.max.time) : "",
                        Dominant(p)});
    };
    size_t m = 0;
    for (int month = 1; month <= 12; ++month) {
        CalendarTime c;
        c.Year = year;
        c.Month = month;
        uint32_t from = 0;
        c.ToStationTime(from);
        const uint32_t to = static_cast<uint32_t>(PeriodEnd(SummaryPeriod::Month, from) - 1);
        while (m < months.size() && months[m].last < from) ++m;
        const bool recorded = m < months.size() && months[m].start <= to;
        out += recorded ? row(kMonthShort[month - 1], months[m], from, to, false)
                        : Line(w, {kMonthShort[month - 1]});
    }
    out += Rule(w);
    if (whole) out += row("", *whole, whole->start, whole->last, true);
    out += "\n" + CoverageLine(whole);
    return out;
}

int ClimateReport::Make(HistoryDb& db, uint32_t devId, int year, int month, const UnitSet& units,
                        std::string& out, bool* any) {
    CalendarTime c;
    c.Year = year;
    c.Month = month ? month : 1;
    uint32_t from = 0;
    if (!c.ToStationTime(from)) return 1;
    const SummaryPeriod span = month ? SummaryPeriod::Month : SummaryPeriod::Year;
    const uint64_t next = PeriodEnd(span, from);
    SummaryRequest request;
    request.devId = devId;
    request.start = StationTimeToOleDate(from);
    request.end = StationTimeToOleDate(static_cast<uint32_t>(next - 1));
    std::vector<PeriodSummary> days, months, whole;
    request.period = SummaryPeriod::Day;
    if (Summarize(db, request, days) != 0) return 1;
    request.period = span;
    if (Summarize(db, request, whole) != 0) return 1;
    const PeriodSummary* all = whole.empty() ? nullptr : &whole.front();
    if (any) *any = all != nullptr;
    if (month) {
        out = Monthly(devId, year, month, days, all, units);
        return 0;
    }
    request.period = SummaryPeriod::Month;
    if (Summarize(db, request, months) != 0) return 1;
    out = Yearly(devId, year, days, months, all, units);
    return 0;
}

}  // namespace nimbary
