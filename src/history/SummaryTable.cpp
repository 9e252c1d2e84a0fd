#include "SummaryTable.h"

#include <array>
#include <cmath>
#include <cstdio>

#include "CalendarTime.h"
#include "Format.h"
#include "HistoryTable.h"
#include "StringTable.h"

namespace nimbary {

namespace {

// What a column's cells show: a statistic of a measurement (field 0..37)
// or one of the period's own values.
enum Special : int {
    C_PERIOD = -1,
    C_RECORDS = -2,
    C_EXPECTED = -3,
    C_COVERAGE = -4,
    C_DOMINANT = -5,
    C_RAIN = -6,
    C_RAIN_HOUR = -7,
    C_RAIN_HOUR_TIME = -8,
    C_HEATING = -9,
    C_COOLING = -10,
};

constexpr int kWindField = kStatWind, kGustField = kStatGust;

// The history list's column of each measured field, which knows its
// quantity and its header.
const HistoryColumnSpec& FieldSpec(int field) {
    static const std::array<int, kStatFields> columns = [] {
        std::array<int, kStatFields> c{};
        for (int col = kFirstMeasureColumn; col < kHistoryColumns; ++col)
            if (ColumnSpec(col).measurement < kStatFields) c[ColumnSpec(col).measurement] = col;
        return c;
    }();
    return ColumnSpec(columns[field]);
}

Quantity FieldQuantity(int field) {
    return FieldSpec(field).quantity;
}

// A value of a field: a humidity's mean to the nearest whole number.
std::string FormatValue(Quantity q, double v, const UnitSet& u) {
    return FormatQuantity(q, q == Quantity::Humi && !IsSentinel(v) ? std::round(v) : v, u);
}

// The quantity's name: the history list's header, but "Channel k" and the
// kind for channels 2-8, whose headers there read alike.
std::string FieldName(int field) {
    const HistoryColumnSpec& spec = FieldSpec(field);
    if (spec.channel < 2) return text::Load(spec.stringId);
    // Out Temp., Out Humi., Out Dew, Out Feel: Temperature, Humidity, Dew Point, Feels Like.
    static const int kKinds[] = {2034, 2035, 2040, 2041};
    return text::Format(2042, {spec.channel}) + " " + text::Load(kKinds[spec.stringId - 2045]);
}

// The fields with a minimum and maximum in the order the history list
// shows them; the wind and gust have groups of their own.
std::vector<int> FieldOrder() {
    std::vector<int> order;
    for (int col = kFirstMeasureColumn; col < kHistoryColumns; ++col) {
        const int field = ColumnSpec(col).measurement;
        if (field < kStatWind) order.push_back(field);
    }
    return order;
}

std::string DirectionText(int32_t degrees) {
    if (degrees == VAL_ABSENT) return {};
    if (degrees < 0 || degrees >= 360) return "--";
    return CompassPointName(CompassPoint(degrees));
}

}  // namespace

std::string FormatDegreeDays(double fahrenheitDays, const UnitSet& units) {
    return FixedText(units.Celsius() ? fahrenheitDays / 1.8 : fahrenheitDays, 1);
}

std::string SummaryTable::PeriodText(SummaryPeriod period, uint32_t start) {
    const CalendarTime c = CalendarTime::FromStationTime(start);
    char buf[32];
    if (period == SummaryPeriod::Day)
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", c.Year, c.Month, c.Day);
    else if (period == SummaryPeriod::Month)
        std::snprintf(buf, sizeof buf, "%04d-%02d", c.Year, c.Month);
    else
        std::snprintf(buf, sizeof buf, "%04d", c.Year);
    return buf;
}

std::string SummaryTable::TimeText(uint32_t t) const {
    const CalendarTime c = CalendarTime::FromStationTime(t);
    char buf[40];
    if (period_ == SummaryPeriod::Day)
        std::snprintf(buf, sizeof buf, "%02d:%02d", c.Hour, c.Minute);
    else
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d", c.Year, c.Month, c.Day, c.Hour,
                      c.Minute);
    return buf;
}

void SummaryTable::Add(Kind kind, Stat stat, int group, const std::string& groupText,
                       const std::string& statText, const std::string& unit, Cell cell,
                       bool perHour) {
    Column c{kind, stat,    group, cell.field >= 0 ? cell.field : -1, groupText, statText,
             unit, perHour, {}};
    std::string text = groupText;
    if (!statText.empty()) text += " " + statText;
    c.header = HeaderRule(text, unit, perHour);
    columns_.push_back(std::move(c));
    cells_.push_back(cell);
}

SummaryTable::SummaryTable(SummaryPeriod period, std::vector<PeriodSummary> periods,
                           const UnitSet& units, uint32_t devId)
    : period_(period), periods_(std::move(periods)), units_(units), devId_(devId) {
    static const int kPeriodIds[] = {2011, 2013, 2200};
    int group = 0;
    Add(Kind::Period, Stat::None, group, text::Load(kPeriodIds[static_cast<int>(period)]), {}, {},
        {C_PERIOD, Stat::None});
    Add(Kind::Count, Stat::None, group, text::Load(2202), {}, {}, {C_RECORDS, Stat::None});
    Add(Kind::Count, Stat::None, group, text::Load(2203), {}, {}, {C_EXPECTED, Stat::None});
    Add(Kind::Count, Stat::None, group, text::Load(2204), {}, "%", {C_COVERAGE, Stat::None});

    auto stored = [&](int field) {
        for (const PeriodSummary& p : periods_)
            if (p.fields[field].stored) return true;
        return false;
    };
    const std::string min = text::Load(2055), max = text::Load(2054), mean = text::Load(2201);
    const std::string time = text::Load(2015), direction = text::Load(2205);
    // A column of a measurement's statistic.
    auto stat = [&](Kind kind, Stat st, const std::string& name, const std::string& statText,
                    const std::string& unit, int field) {
        Add(kind, st, group, name, statText, unit, {field, st});
    };
    for (int field : FieldOrder()) {
        if (!stored(field)) continue;
        const std::string name = FieldName(field),
                          unit = QuantityUnit(FieldQuantity(field), units_);
        ++group;
        stat(Kind::Value, Stat::Min, name, min, unit, field);
        stat(Kind::Time, Stat::MinTime, name, min + " " + time, {}, field);
        stat(Kind::Value, Stat::Max, name, max, unit, field);
        stat(Kind::Time, Stat::MaxTime, name, max + " " + time, {}, field);
        stat(Kind::Value, Stat::Mean, name, mean, unit, field);
    }
    const std::string windUnit = WindUnitName(units_);
    if (stored(kWindField)) {
        const std::string name = FieldName(kWindField);
        ++group;
        stat(Kind::Value, Stat::Mean, name, mean, windUnit, kWindField);
        stat(Kind::Value, Stat::Max, name, max, windUnit, kWindField);
        stat(Kind::Time, Stat::MaxTime, name, max + " " + time, {}, kWindField);
        stat(Kind::Direction, Stat::MaxDirection, name, max + " " + direction, {}, kWindField);
        ++group;
        Add(Kind::Direction, Stat::None, group, text::Load(2206), {}, {}, {C_DOMINANT, Stat::None});
    }
    if (stored(kGustField)) {
        const std::string name = FieldName(kGustField);
        ++group;
        stat(Kind::Value, Stat::Max, name, max, windUnit, kGustField);
        stat(Kind::Time, Stat::MaxTime, name, max + " " + time, {}, kGustField);
        stat(Kind::Direction, Stat::MaxDirection, name, max + " " + direction, {}, kGustField);
    }
    bool rain = false;
    for (const PeriodSummary& p : periods_) rain = rain || p.rainReadings > 0;
    if (rain) {
        const std::string unit = RainUnitName(units_), rate = text::Load(2025);
        ++group;
        rainColumn_ = ColumnCount();
        Add(Kind::Value, Stat::Total, group, text::Load(2023), {}, unit, {C_RAIN, Stat::Total});
        ++group;
        Add(Kind::Value, Stat::Max, group, rate, max, unit, {C_RAIN_HOUR, Stat::Max}, true);
        Add(Kind::Time, Stat::MaxTime, group, rate, max + " " + time, {},
            {C_RAIN_HOUR_TIME, Stat::MaxTime});
    }
    if (stored(kOutdoorTemperatureField)) {
        const std::string unit = TempUnitName(units_);
        ++group;
        Add(Kind::Value, Stat::Total, group, text::Load(2207), {}, unit, {C_HEATING, Stat::Total});
        ++group;
        Add(Kind::Value, Stat::Total, group, text::Load(2208), {}, unit, {C_COOLING, Stat::Total});
    }
}

double SummaryTable::Number(int row, int column) const {
    const PeriodSummary& p = periods_[row];
    const Cell cell = cells_[column];
    const double none = std::nan("");
    switch (cell.field) {
        case C_RAIN:
            return p.rainReadings ? ConvertRain(p.rain, units_) : none;
        case C_RAIN_HOUR:
            return p.rainReadings ? ConvertRain(p.rainHour.value, units_) : none;
        case C_HEATING:
        case C_COOLING: {
            const double v = cell.field == C_HEATING ? p.heating : p.cooling;
            return p.degreeDays ? (units_.Celsius() ? v / 1.8 : v) : none;
        }
        default:
            break;
    }
    if (cell.field < 0) return none;
    const FieldSummary& f = p.fields[cell.field];
    if (!f.count) return none;
    const double v = cell.stat == Stat::Min    ? f.min.value
                     : cell.stat == Stat::Max  ? f.max.value
                     : cell.stat == Stat::Mean ? f.Mean()
                                               : none;
    if (std::isnan(v)) return v;
    switch (FieldQuantity(cell.field)) {
        case Quantity::Temp:
            return ConvertTemp(v, units_);
        case Quantity::Baro:
            return ConvertBaro(v, units_);
        case Quantity::Wind:
            return ConvertWind(v, units_);
        default:
            return v;
    }
}

std::string SummaryTable::CellText(int row, int column) const {
    const PeriodSummary& p = periods_[row];
    const Cell cell = cells_[column];
    auto degreeDays = [&](double v) {
        return p.degreeDays ? FormatDegreeDays(v, units_)
                            : FormatTemp(VAL_INVALID, FMT_VALUE, units_);
    };
    switch (cell.field) {
        case C_PERIOD:
            return PeriodText(period_, p.start);
        case C_RECORDS:
            return std::to_string(p.present);
        case C_EXPECTED:
            return std::to_string(p.expected);
        case C_COVERAGE:
            return FixedText(p.Coverage(), 1);
        case C_DOMINANT: {
            if (!p.fields[kWindField].stored) return {};
            const int point = p.DominantPoint();
            return point < 0 ? "--" : CompassPointName(point);
        }
        case C_RAIN:
            return p.rainReadings ? FormatRain(p.rain, FMT_VALUE, units_) : std::string();
        case C_RAIN_HOUR:
            return p.rainReadings ? FormatRain(p.rainHour.value, FMT_VALUE, units_) : std::string();
        case C_RAIN_HOUR_TIME:
            return p.rainReadings && p.rainHour.value > 0 ? TimeText(p.rainHour.time)
                                                          : std::string();
        case C_HEATING:
            return p.fields[kOutdoorTemperatureField].stored ? degreeDays(p.heating)
                                                             : std::string();
        case C_COOLING:
            return p.fields[kOutdoorTemperatureField].stored ? degreeDays(p.cooling)
                                                             : std::string();
        default:
            break;
    }
    const FieldSummary& f = p.fields[cell.field];
    if (!f.stored) return {};
    const Quantity q = FieldQuantity(cell.field);
    // The station had the quantity but no reading: dashes, as in the list.
    if (!f.count)
        return cell.stat == Stat::Min || cell.stat == Stat::Max || cell.stat == Stat::Mean
                   ? FormatValue(q, VAL_INVALID, units_)
                   : std::string();
    switch (cell.stat) {
        case Stat::Min:
            return FormatValue(q, f.min.value, units_);
        case Stat::MinTime:
            return TimeText(f.min.time);
        case Stat::Max:
            return FormatValue(q, f.max.value, units_);
        case Stat::MaxTime:
            return TimeText(f.max.time);
        case Stat::MaxDirection:
            return DirectionText(f.max.direction);
        case Stat::Mean:
            return FormatValue(q, f.Mean(), units_);
        case Stat::None:
        case Stat::Total:
            break;
    }
    return {};
}

}  // namespace nimbary
