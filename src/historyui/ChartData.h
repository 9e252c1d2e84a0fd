#pragma once

#include <array>
#include <string>
#include <vector>

#include "HistoryTable.h"
#include "Units.h"

namespace nimbary {

// The quantity groups of the history chart, in the graph list's order.
enum class Graph { Temperature, Humidity, Pressure, Wind, Rainfall };

constexpr int kChartSeries = 9;

// One series of the chart: its title and its points, X the record times
// (OLE dates, ascending), Y the values in the display unit.
struct ChartSeries {
    std::string title;
    std::vector<double> x;
    std::vector<double> y;
    int Count() const { return static_cast<int>(x.size()); }
};

// What one chart drawing shows: nine series and the value axis range.
struct ChartData {
    Graph graph = Graph::Temperature;
    UnitSet units;  // the display units the values are in
    std::array<ChartSeries, kChartSeries> series;
    bool hasPoints = false;
    double max = 0;
    double min = 0;

    // Builds the chart of `graph` from the table's records: every value
    // below VAL_INVALID becomes a point in `units`; the range is padded by
    // a fifth of its span, or is the group's default when nothing was plotted.
    static ChartData Build(const HistoryTable& table, Graph graph, const UnitSet& units);
};

// Graph list items for a table's data counters: Temperature always, the
// others when a column of their group has data.
std::vector<Graph> GraphChoices(const HistoryTable& table);
// "Temperature", "Humidity", "Pressure", "Wind", "Rainfall".
int GraphStringId(Graph graph);
// Full table column whose values series `index` of `graph` plots; -1 for none.
int SeriesColumn(Graph graph, int index);
// A chart value (display unit) with the decimals its formatter prints, for
// the chart's hover tip.
std::string ChartValueText(Graph graph, double value, const UnitSet& units);

}  // namespace nimbary
