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
    bool reduced = false;  // a series holds fewer points than it has records

    // Builds the chart of `graph` from the table's records: every value
    // below VAL_INVALID becomes a point in `units`; the range is padded by
    // a fifth of its span, or is the group's default when nothing was plotted.
    //
    // With `buckets` > 0, a series of more than 4 * buckets points keeps of
    // each of `buckets` equal time spans only its first, lowest, highest and
    // last point: drawn up to `buckets` pixels wide, its line is the same,
    // and ten years cost the chart no more than a fortnight.
    static ChartData Build(const HistoryTable& table, Graph graph, const UnitSet& units,
                           int buckets = 0);
    // The points of the records from `from` to `to` (OLE dates) alone,
    // reduced the same way, for a chart zoomed into them; titles and range stay.
    void Refill(const HistoryTable& table, double from, double to, int buckets);
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
// A stored value (internal unit) in the display unit of `graph`.
double ChartValue(Graph graph, double value, const UnitSet& units);
// The row nearest to `oleDate` whose value in `column` is plotted; -1 for none.
int NearestPlottedRow(const HistoryTable& table, int column, double oleDate);

}  // namespace nimbary
