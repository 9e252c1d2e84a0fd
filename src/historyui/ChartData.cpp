#include "ChartData.h"

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

ChartData ChartData::Build(const HistoryTable& table, Graph graph, const UnitSet& units) {
    ChartData d;
    d.graph = graph;
    d.units = units;
    for (int i = 0; i < kChartSeries; ++i) d.series[i].title = SeriesTitle(graph, i, units);

    double max = kUnset, min = kUnset;
    const int rows = table.RowCount();
    for (int i = 0; i < kChartSeries; ++i) {
        const int column = SeriesColumn(graph, i);
        if (column < 0 || table.DataCount(column) == 0) continue;
        ChartSeries& s = d.series[i];
        s.x.reserve(table.DataCount(column));
        s.y.reserve(table.DataCount(column));
        for (int row = 0; row < rows; ++row) {
            const double v = table.Value(row, column);
            if (v >= VAL_INVALID) continue;
            const double y = ToDisplay(graph, v, units);
            s.x.push_back(table.RecTime(row));
            s.y.push_back(y);
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

std::string ChartValueText(Graph graph, double value, const UnitSet& u) {
    int decimals = 1;
    if (graph == Graph::Humidity || (graph == Graph::Wind && u.Wind() == WIND_BFT)) decimals = 0;
    if ((graph == Graph::Pressure && u.Baro() == BARO_INHG) ||
        (graph == Graph::Rainfall && u.Rain() == RAIN_IN))
        decimals = 2;
    return FixedText(value, decimals);
}

}  // namespace nimbary
