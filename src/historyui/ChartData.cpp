#include "ChartData.h"

#include <algorithm>

#include "Format.h"
#include "StringTable.h"

namespace nimbary {

namespace {

constexpr double kUnset = VAL_INVALID;

double ToDisplay(Graph graph, double v, const UnitSet& u) {
    switch (graph) {
        case Graph::Temperature:
            return ConvertTemp(v, u);
        case Graph::Humidity:
            return v;
        case Graph::Pressure:
            return ConvertBaro(v, u);
        case Graph::Wind:
            return ConvertWind(v, u);
        case Graph::Rainfall:
            return ConvertRain(v, u);
    }
    return v;
}

// The first row at or after `ole` (rows are in time order).
int RowFrom(const HistoryTable& t, double ole) {
    int lo = 0, hi = t.RowCount();
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (t.RecTime(mid) < ole)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

// One series' points of rows [r0, r1), reduced to first, lowest, highest
// and last of each bucket when there are too many.
void Fill(ChartSeries& s, const HistoryTable& t, Graph g, const UnitSet& u, int column, int r0,
          int r1, double from, double to, int buckets, bool& reduced) {
    s.x.clear();
    s.y.clear();
    if (column < 0 || t.DataCount(column) == 0) return;
    auto put = [&](int row, double y) {
        s.x.push_back(t.RecTime(row));
        s.y.push_back(y);
    };
    const bool reduce = buckets > 0 && r1 - r0 > 4 * buckets && to > from;
    if (!reduce) {
        for (int row = r0; row < r1; ++row) {
            const double v = t.Value(row, column);
            if (v < VAL_INVALID) put(row, ToDisplay(g, v, u));
        }
        return;
    }
    struct Pick {
        int row;
        double y;
    };
    Pick first{-1, 0}, low{}, high{}, last{};
    int bucket = -1;
    auto flush = [&] {
        if (first.row < 0) return;
        Pick picks[4] = {first, low, high, last};
        std::sort(picks, picks + 4, [](const Pick& a, const Pick& b) { return a.row < b.row; });
        for (int k = 0; k < 4; ++k)
            if (k == 0 || picks[k].row != picks[k - 1].row) put(picks[k].row, picks[k].y);
    };
    const double scale = buckets / (to - from);
    for (int row = r0; row < r1; ++row) {
        const double v = t.Value(row, column);
        if (v >= VAL_INVALID) continue;
        const double y = ToDisplay(g, v, u);
        const int b = std::min(buckets - 1, static_cast<int>((t.RecTime(row) - from) * scale));
        if (b != bucket) {
            flush();
            bucket = b;
            first = low = high = {row, y};
        }
        if (y < low.y) low = {row, y};
        if (y > high.y) high = {row, y};
        last = {row, y};
    }
    flush();
    reduced = reduced || static_cast<int>(s.x.size()) < t.DataCount(column);
}

std::string SeriesTitle(Graph graph, int index, const UnitSet& u) {
    const int column = SeriesColumn(graph, index);
    if (column < 0) return {};
    // The pressure series say "Absolute/Relative Pressure", not the
    // columns' short "ABS/REL Pressure".
    if (graph == Graph::Pressure)
        return HeaderRule(text::Load(index == 0 ? 2003 : 2004), BaroUnitName(u));
    return ColumnHeader(column, u);
}

}  // namespace

int GraphStringId(Graph graph) {
    static const int kIds[] = {2034, 2035, 2000, 2049, 2023};
    return kIds[static_cast<int>(graph)];
}

int SeriesColumn(Graph graph, int index) {
    const bool channel = index >= 1 && index <= kChannels;
    switch (graph) {
        case Graph::Temperature:
            return index == 0 ? HCOL_IN_TEMP : channel ? HCOL_CH_TEMP + 2 * (index - 1) : -1;
        case Graph::Humidity:
            return index == 0 ? HCOL_IN_HUMI : channel ? HCOL_CH_HUMI + 2 * (index - 1) : -1;
        case Graph::Pressure:
            return index < 2 ? HCOL_ABS_BARO + index : -1;
        case Graph::Wind:
            return index < 2 ? HCOL_WIND + index : -1;
        case Graph::Rainfall:
            // Every rain kind, Event, Rate and 24Hour included, each titled
            // like its column.
            return index < kRainKinds ? HCOL_RAIN + index : -1;
    }
    return -1;
}

std::vector<Graph> GraphChoices(const HistoryTable& t) {
    std::vector<Graph> out = {Graph::Temperature};
    for (Graph g : {Graph::Humidity, Graph::Pressure, Graph::Wind}) {
        bool data = false;
        for (int i = 0; i < kChartSeries; ++i) {
            const int column = SeriesColumn(g, i);
            data = data || (column >= 0 && t.DataCount(column) > 0);
        }
        if (data) out.push_back(g);
    }
    // Rainfall by its total alone.
    if (t.DataCount(HCOL_RAIN + RAIN_TOTAL)) out.push_back(Graph::Rainfall);
    return out;
}

ChartData ChartData::Build(const HistoryTable& table, Graph graph, const UnitSet& units,
                           int buckets) {
    ChartData d;
    d.graph = graph;
    d.units = units;
    for (int i = 0; i < kChartSeries; ++i) d.series[i].title = SeriesTitle(graph, i, units);
    const int rows = table.RowCount();
    if (rows > 0) d.Refill(table, table.RecTime(0), table.RecTime(rows - 1), buckets);

    // The range over every point, also those a reduction left out.
    double max = kUnset, min = kUnset;
    for (int i = 0; i < kChartSeries; ++i) {
        const int column = SeriesColumn(graph, i);
        if (column < 0 || table.DataCount(column) == 0) continue;
        for (int row = 0; row < rows; ++row) {
            const double v = table.Value(row, column);
            if (v >= VAL_INVALID) continue;
            const double y = ToDisplay(graph, v, units);
            if (max == kUnset || y > max) max = y;
            if (min == kUnset || y < min) min = y;
        }
    }

    d.hasPoints = max != kUnset;
    if (d.hasPoints) {
        double pad = (max - min) * 0.2;
        if (graph == Graph::Humidity) pad = static_cast<double>(static_cast<int64_t>(pad));
        max += pad;
        min -= pad;
        if ((graph == Graph::Wind || graph == Graph::Rainfall) && max == 0.0) {
            max = 10;
            min = 0;
        } else if (max == min) {
            // All points alike: an axis without height would show no line.
            max += 1;
            min -= 1;
        }
    } else {
        switch (graph) {
            case Graph::Temperature:
            case Graph::Humidity:
                max = 50;
                min = 20;
                break;
            case Graph::Pressure:
                max = ConvertBaro(1050.0, units);
                min = ConvertBaro(1000.0, units);
                break;
            case Graph::Wind:
            case Graph::Rainfall:
                max = 20;
                min = 0;
                break;
        }
    }
    d.max = max;
    d.min = min;
    return d;
}

void ChartData::Refill(const HistoryTable& table, double from, double to, int buckets) {
    const int r0 = RowFrom(table, from);
    int r1 = RowFrom(table, to);
    while (r1 < table.RowCount() && table.RecTime(r1) <= to) ++r1;
    reduced = false;
    for (int i = 0; i < kChartSeries; ++i)
        Fill(series[i], table, graph, units, SeriesColumn(graph, i), r0, r1, from, to, buckets,
             reduced);
}

double ChartValue(Graph graph, double value, const UnitSet& units) {
    return ToDisplay(graph, value, units);
}

int NearestPlottedRow(const HistoryTable& table, int column, double oleDate) {
    if (column < 0 || table.DataCount(column) == 0) return -1;
    const int rows = table.RowCount();
    const int at = RowFrom(table, oleDate);
    auto plotted = [&](int row) { return table.Value(row, column) < VAL_INVALID; };
    int after = at;
    while (after < rows && !plotted(after)) ++after;
    int before = at - 1;
    while (before >= 0 && !plotted(before)) --before;
    if (before < 0) return after < rows ? after : -1;
    if (after >= rows) return before;
    return oleDate - table.RecTime(before) <= table.RecTime(after) - oleDate ? before : after;
}

std::string ChartValueText(Graph graph, double value, const UnitSet& u) {
    int decimals = 1;
    if (graph == Graph::Humidity || (graph == Graph::Wind && u.Wind() == WIND_BFT)) decimals = 0;
    if ((graph == Graph::Pressure && u.Baro() == BARO_INHG) ||
        (graph == Graph::Rainfall && u.Rain() == RAIN_IN))
        decimals = 2;
    return FixedText(value, decimals);
}

}  // namespace nimbary
