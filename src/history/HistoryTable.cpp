#include "HistoryTable.h"

#include "Format.h"
#include "HistoryDb.h"
#include "StringTable.h"

namespace nimbary {

namespace {

constexpr double kAbsent = VAL_ABSENT;

// Columns 2..48: indoor, then channel temperature and humidity side by side,
// dew point and feels-like side by side, wind, pressure, the rain kinds.
std::array<HistoryColumnSpec, kMeasurementFields> MakeSpecs() {
    std::array<HistoryColumnSpec, kMeasurementFields> s{};
    auto at = [&](int column) -> HistoryColumnSpec& { return s[column - kFirstMeasureColumn]; };
    at(HCOL_IN_TEMP) = {2043, Quantity::Temp, 0, 0, false};
    at(HCOL_IN_HUMI) = {2044, Quantity::Humi, 0, 1, false};
    for (int k = 0; k < kChannels; ++k) {
        at(HCOL_CH_TEMP + 2 * k) = {2045, Quantity::Temp, k + 1, 2 + k, false};
        at(HCOL_CH_HUMI + 2 * k) = {2046, Quantity::Humi, k + 1, 10 + k, false};
        at(HCOL_CH_DEWPOINT + 2 * k) = {2047, Quantity::Temp, k + 1, 18 + k, false};
        at(HCOL_CH_FEELLIKE + 2 * k) = {2048, Quantity::Temp, k + 1, 26 + k, false};
    }
    at(HCOL_WIND) = {2049, Quantity::Wind, 0, 36, false};
    at(HCOL_GUST) = {2050, Quantity::Wind, 0, 37, false};
    at(HCOL_WIND_DIR) = {2051, Quantity::WindDir, 0, 38, false};
    at(HCOL_ABS_BARO) = {2005, Quantity::Baro, 0, 34, false};
    at(HCOL_REL_BARO) = {2006, Quantity::Baro, 0, 35, false};
    for (int k = 0; k < kRainKinds; ++k)
        at(HCOL_RAIN + k) = {2024 + k, Quantity::Rain, 0, 39 + k, k == RAIN_RATE};
    return s;
}

const std::array<HistoryColumnSpec, kMeasurementFields>& Specs() {
    static const auto specs = MakeSpecs();
    return specs;
}

}  // namespace

std::string FormatQuantity(Quantity q, double v, const UnitSet& u) {
    switch (q) {
        case Quantity::Temp:
            return FormatTemp(v, FMT_VALUE, u);
        case Quantity::Humi:
            return FormatHumi(static_cast<int32_t>(v), FMT_VALUE, u);
        case Quantity::Wind:
            return FormatWind(v, FMT_VALUE, u);
        case Quantity::WindDir:
            return FormatWindDir(static_cast<int32_t>(v));
        case Quantity::Baro:
            return FormatBaro(v, FMT_VALUE, u);
        case Quantity::Rain:
            return FormatRain(v, FMT_VALUE, u);
    }
    return {};
}

std::string QuantityUnit(Quantity q, const UnitSet& u) {
    switch (q) {
        case Quantity::Temp:
            return TempUnitName(u);
        case Quantity::Humi:
            return "%";
        case Quantity::Wind:
            return WindUnitName(u);
        case Quantity::WindDir:
            return {};
        case Quantity::Baro:
            return BaroUnitName(u);
        case Quantity::Rain:
            return RainUnitName(u);
    }
    return {};
}

const HistoryColumnSpec& ColumnSpec(int fullColumn) {
    return Specs()[fullColumn - kFirstMeasureColumn];
}

std::string HeaderRule(const std::string& text, const std::string& unit, bool perHour) {
    if (unit.empty()) return text;
    return text + "(" + unit + ")" + (perHour ? "/h" : "");
}

std::string ColumnHeader(int fullColumn, const UnitSet& units) {
    const HistoryColumnSpec& s = ColumnSpec(fullColumn);
    std::string text = text::Load(s.stringId);
    // The channel headers are formats with the channel as their argument;
    // neither language's texts use it, so the eight read alike.
    if (s.channel) text = text::FormatText(text, {s.channel});
    return HeaderRule(text, QuantityUnit(s.quantity, units), s.perHour);
}

HistoryTable::HistoryTable(TimeText timeText, const UnitSet& units)
    : timeText_(std::move(timeText)), units_(units) {
    BuildColumns();
}

int HistoryTable::Load(HistoryDb& db, uint32_t devId, WorkProgress* progress) {
    constexpr int kProgressRows = 1024;
    HistoryTable next(timeText_, units_);
    next.devId_ = devId;
    const int n = db.SelectionCount();
    if (progress) progress->total = n;
    next.times_.reserve(n);
    const auto& specs = Specs();
    double flat[kMeasurementFields];
    db.MoveFirst();
    // The count and the rows come from one snapshot, so the walk ends with
    // the count unless a step fails.
    for (int i = 0; i < n && !db.IsEof(); ++i) {
        if (progress && i % kProgressRows == 0) {
            if (progress->cancel) return LOAD_CANCELLED;
            progress->done = i;
        }
        db.ReadRecord();
        const HistoryRecord& r = db.ReadImage();
        int m = 0;
        ForEachMeasurement(r, [&](auto v) { flat[m++] = static_cast<double>(v); });
        next.times_.push_back(r.RecTime);
        for (int c = 0; c < kMeasurementFields; ++c) {
            const double v = flat[specs[c].measurement];
            std::vector<double>& column = next.values_[c];
            if (v != kAbsent && next.counts_[c]++ == 0) {
                // First value of the column: it takes memory from here on.
                column.reserve(n);
                column.assign(i, kAbsent);
            }
            if (next.counts_[c]) column.push_back(v);
        }
        db.MoveNext();
    }
    if (db.SelectionFailed()) return LOAD_FAILED;
    next.BuildColumns();
    *this = std::move(next);
    if (progress) progress->done = n;
    return LOAD_OK;
}

int LoadRange(HistoryDb& db, uint32_t devId, double start, double end, HistoryTable& table,
              WorkProgress* progress, const std::function<void()>& opened) {
    if (db.SelectRecords(devId, start, end) != 0) return HistoryTable::LOAD_FAILED;
    if (opened) opened();
    const int loaded = table.Load(db, devId, progress);
    // The records now live in the table: the selection's snapshot can go,
    // so the download's checkpoints are not held back while the dialog is open.
    db.CloseSelection();
    return loaded;
}

void HistoryTable::BuildColumns() {
    kept_.clear();
    headers_.clear();
    kept_ = {0, 1};
    headers_ = {text::Load(2052), text::Load(2015)};
    // Without rows the table has "No." and "Time" only.
    if (times_.empty()) return;
    for (int c = kFirstMeasureColumn; c < kHistoryColumns; ++c) {
        if (DataCount(c) == 0) continue;
        kept_.push_back(c);
        headers_.push_back(ColumnHeader(c, units_));
    }
}

double HistoryTable::Value(int row, int fullColumn) const {
    const std::vector<double>& column = values_[fullColumn - kFirstMeasureColumn];
    return column.empty() ? kAbsent : column[row];
}

std::string HistoryTable::CellText(int row, int column) const {
    const int full = kept_[column];
    if (full == 0) return std::to_string(row + 1);
    if (full == 1) return timeText_(times_[row]);
    return FormatQuantity(ColumnSpec(full).quantity, Value(row, full), units_);
}

size_t HistoryTable::MemoryBytes() const {
    size_t bytes = times_.capacity() * sizeof(double);
    for (const auto& column : values_) bytes += column.capacity() * sizeof(double);
    return bytes;
}

}  // namespace nimbary
