#pragma once

#include <QPoint>
#include <QSize>
#include <string>
#include <vector>

#include "Box.h"

// The mini-graph's coordinate and axis arithmetic, kept apart from painting
// so it can be checked number by number.
namespace nimbary {

// Vertical axis as drawn: bottom and top values and the value per grid row.
struct YScale {
    double bottom = 0.0;
    double top = 0.0;
    double step = 0.0;
};

// One x-axis label; gridX is the grid line's column, or -1 for the two end
// labels, which sit on the plot frame instead.
struct XLabel {
    int value = 0;
    int gridX = -1;
    Box box;
    int align = 0;  // Qt::Alignment flags
};

// One y-axis label; inner labels also get a horizontal grid line at y.
struct YLabel {
    double value = 0.0;
    int y = 0;
    bool grid = false;
    Box box;
};

// Where one legend entry goes: the name, the colour box and the clickable
// area around both.
struct LegendSlot {
    Box name;
    Box box;
    Box hit;
};

struct Segment {
    QPoint from;
    QPoint to;
    bool dashed = false;
};

// The plot's left, top, right and bottom margins before the legend.
constexpr int kPlotLeft = 50;
constexpr int kPlotTop = 10;
constexpr int kPlotRightMargin = 10;
constexpr int kPlotBottomMargin = 20;
constexpr int kLegendTop = 5;

// Rows the legend needs for entries of the given text sizes in a graph of
// `graphWidth`; the plot's top is moved down by that many name heights.
int CountLegendRows(const std::vector<QSize>& names, int graphWidth);

// Plot rectangle of a w x h graph whose legend rows are nameHeight high.
Box ComputePlotBox(int w, int h, int nameHeight, int legendRows);

// Labels and grid columns of the x axis, first label at `start`.
std::vector<XLabel> XAxisLabels(const Box& plot, int graphHeight, int divisions, int start,
                                int end);

// Axis range and step from the data extremes (VAL_INVALID when there is no
// data) and the unit's limits, for `divisions` grid rows and `decimals`.
// The step is widened when rounding would leave the highest reading above
// the axis top.
YScale ComputeYScale(double dataMax, double dataMin, double upper, double lower, int divisions,
                     int decimals);

// Labels and grid rows of the y axis, bottom first.
std::vector<YLabel> YAxisLabels(const Box& plot, const YScale& scale, int divisions);

// A y label as printed: fixed decimals, never a minus zero.
std::string AxisLabelText(double value, int decimals);

// Legend entries from the plot's left edge, rows nameHeight high from y = 5,
// wrapping before an entry would pass `right`.
std::vector<LegendSlot> PlaceLegend(const std::vector<int>& nameWidths, int nameHeight, int left,
                                    int right);

// Folds a series' readings (sentinels skipped) into max and min; both start
// at VAL_INVALID, meaning no data.
void AccumulateExtremes(const double* values, int count, double& max, double& min);

// Value-to-pixel mapping of the plot.
struct ScreenMap {
    Box plot;
    int xStart = 0;
    int xEnd = 72;
    YScale scale;

    QPoint Map(int x, double value) const;
};

// The line of one series: solid between neighbouring usable points, dashed
// across runs of unusable ones. `out` is cleared first.
void TraceSeries(const int* xs, const double* values, int count, const ScreenMap& map,
                 std::vector<Segment>& out);

}  // namespace nimbary
