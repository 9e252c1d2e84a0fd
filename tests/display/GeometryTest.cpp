#include <gtest/gtest.h>

#include <Qt>
#include <cmath>

#include "GraphGeometry.h"
#include "PanelGeometry.h"
#include "Units.h"

using namespace nimbary;

namespace {
constexpr double kNone = VAL_INVALID;
}

TEST(YScale, StepsBottomsAndTops) {
    struct Case {
        const char* what;
        double max, min, upper, lower;
        int divisions, decimals;
        double bottom, step, top;
    };
    const Case cases[] = {
        {"60..80 F", 80.0, 60.0, 325.0, -80.0, 10, 1, 59.8, 2.1, 80.8},
        {"no data, F limits", kNone, kNone, 325.0, -80.0, 10, 1, -80.0, 40.5, 325.0},
        {"no data, C limits", kNone, kNone, 162.78, -62.22, 10, 1, -62.2, 22.5, 162.8},
        {"humidity", 69, 40, 99, 10, 10, 0, 39, 3, 69},
        {"step widened to keep the top reading", 70, 40, 99, 10, 10, 0, 39, 4, 79},
        {"bottom raised to the limit", 50, 10, 99, 10, 10, 0, 10, 4, 50},
        {"inHg", 30.10, 29.50, 32.48, 8.859, 10, 2, 29.49, 0.07, 30.19},
        {"flat data", 20, 20, 325, -80, 10, 1, 20.0, 0.1, 21.0},
        {"negative bottom cut toward zero", 4.63, -5.37, 325, -80, 10, 1, -5.4, 1.1, 5.6},
        {"five rows", 8.0, 3.0, 50, 0, 5, 1, 2.9, 1.1, 8.4},
        {"only one extreme known", 12.0, kNone, 999.9, 0, 8, 1, 0.0, 125.0, 1000.0},
    };
    for (const Case& c : cases) {
        const YScale s = ComputeYScale(c.max, c.min, c.upper, c.lower, c.divisions, c.decimals);
        EXPECT_NEAR(s.bottom, c.bottom, 1e-9) << c.what;
        EXPECT_NEAR(s.step, c.step, 1e-9) << c.what;
        EXPECT_NEAR(s.top, c.top, 1e-9) << c.what;
    }
}

TEST(YScale, LabelsNeverShowMinusZero) {
    struct Case {
        double value;
        int decimals;
        const char* text;
    };
    const Case cases[] = {
        {-0.4, 0, "0"},      {-0.5, 0, "0"},      {-0.6, 0, "-1"},      {-0.04, 1, "0.0"},
        {-0.051, 1, "-0.1"}, {-0.004, 2, "0.00"}, {-0.006, 2, "-0.01"}, {-0.0, 1, "0.0"},
        {12.34, 1, "12.3"},  {-62.2, 1, "-62.2"}, {29.49, 2, "29.49"},  {77, 0, "77"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AxisLabelText(c.value, c.decimals), c.text) << c.value << " " << c.decimals;
}

TEST(Legend, RowsReservedMatchRowsPlaced) {
    // Nine 40-pixel names in a 452-pixel graph: six fit the first row.
    const std::vector<QSize> nine(9, QSize(40, 16));
    EXPECT_EQ(CountLegendRows(nine, 452), 2);
    EXPECT_EQ(CountLegendRows({}, 452), 1);
    EXPECT_EQ(CountLegendRows({QSize(376, 16)}, 452), 1);  // exactly w - 60
    EXPECT_EQ(CountLegendRows({QSize(377, 16)}, 452), 2);

    for (int width : {12, 25, 40, 61, 90, 150}) {
        for (int count : {1, 2, 5, 9}) {
            const std::vector<QSize> sizes(count, QSize(width, 14));
            const std::vector<int> widths(count, width);
            const auto placed = PlaceLegend(widths, 14, kPlotLeft, 452 - kPlotRightMargin);
            const int rows = (placed.back().name.top - kLegendTop) / 14 + 1;
            EXPECT_EQ(rows, CountLegendRows(sizes, 452)) << width << " x " << count;
        }
    }
}

TEST(Legend, EntryBoxes) {
    const auto placed = PlaceLegend({20, 30}, 14, 50, 442);
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_EQ(placed[0].name, (Box{50, 5, 70, 19}));
    EXPECT_EQ(placed[0].box, (Box{72, 7, 82, 17}));
    EXPECT_EQ(placed[0].hit, (Box{50, 5, 84, 19}));
    EXPECT_EQ(placed[1].name, (Box{94, 5, 124, 19}));  // 12 right of the first box
}

TEST(Axes, PlotBoxAndLabels) {
    EXPECT_EQ(ComputePlotBox(452, 310, 14, 1), (Box{50, 24, 442, 290}));
    EXPECT_EQ(ComputePlotBox(435, 180, 14, 2), (Box{50, 38, 425, 160}));
    EXPECT_EQ(ComputePlotBox(435, 250, 0, 1), (Box{50, 10, 425, 230}));

    const Box plot{50, 24, 442, 290};
    const auto xs = XAxisLabels(plot, 310, 9, 0, 72);
    ASSERT_EQ(xs.size(), 10u);
    for (size_t i = 0; i < xs.size(); ++i) EXPECT_EQ(xs[i].value, int(i) * 8);
    EXPECT_EQ(xs[0].box, (Box{50, 290, 93, 310}));
    EXPECT_EQ(xs[0].gridX, -1);
    EXPECT_EQ(xs[1].gridX, 93);  // 50 + 43.56
    EXPECT_EQ(xs[2].gridX, 137);
    EXPECT_EQ(xs[1].box, (Box{72, 290, 114, 310}));
    EXPECT_EQ(xs[9].box, (Box{399, 290, 442, 310}));
    EXPECT_EQ(xs[9].align & Qt::AlignRight, int(Qt::AlignRight));

    const YScale scale{59.8, 80.8, 2.1};
    const auto ys = YAxisLabels(plot, scale, 10);
    ASSERT_EQ(ys.size(), 11u);
    EXPECT_EQ(ys[0].y, 290);
    EXPECT_FALSE(ys[0].grid);
    EXPECT_EQ(ys[1].y, 263);  // 290 - 26.6
    EXPECT_NEAR(ys[1].value, 61.9, 1e-9);
    EXPECT_TRUE(ys[1].grid);
    EXPECT_EQ(ys[1].box, (Box{0, 250, 45, 276}));
    EXPECT_EQ(ys[10].y, 24);
    EXPECT_DOUBLE_EQ(ys[10].value, 80.8);
}

TEST(Lines, MappingClampsIntoThePlot) {
    const ScreenMap map{Box{50, 24, 442, 290}, 0, 72, YScale{0, 100, 10}};
    EXPECT_EQ(map.Map(36, 50), QPoint(246, 157));
    EXPECT_EQ(map.Map(72, 200), QPoint(442, 24));
    EXPECT_EQ(map.Map(0, -10), QPoint(50, 290));
    EXPECT_EQ(map.Map(100, 1e300), QPoint(442, 24));
}

TEST(Lines, GapsBecomeDashedSegments) {
    const ScreenMap map{Box{50, 24, 442, 290}, 0, 72, YScale{0, 100, 10}};
    const int xs[] = {0, 1, 2, 3, 4, 5, 6, 90, 8};
    const double none = VAL_ABSENT;
    std::vector<Segment> out;

    const double gapAt5[] = {10, 20, 30, 40, 50, none, 70, 80, 90};
    TraceSeries(xs, gapAt5, 7, map, out);
    ASSERT_EQ(out.size(), 5u);
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(out[i].dashed) << i;
    EXPECT_TRUE(out[4].dashed);
    EXPECT_EQ(out[4].from, map.Map(4, 50));
    EXPECT_EQ(out[4].to, map.Map(6, 70));

    // Leading and trailing gaps draw nothing; an x outside the range and any
    // sentinel (8388606 included) break the line like a missing value.
    const double mixed[] = {none, 8388606, 30, 40, VAL_HIGH, 60, 70, 80, 90};
    TraceSeries(xs, mixed, 9, map, out);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_FALSE(out[0].dashed);  // 2 -> 3
    EXPECT_TRUE(out[1].dashed);   // 3 -> 5
    EXPECT_FALSE(out[2].dashed);  // 5 -> 6
    EXPECT_TRUE(out[3].dashed);   // 6 -> 8 across x = 90
    EXPECT_EQ(out[3].to, map.Map(8, 90));

    // Values below -100 are drawn at -100, which here is below the plot.
    const double low[] = {-500, -100};
    TraceSeries(xs, low, 2, map, out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].from.y(), 290);
}

TEST(Lines, ExtremesSkipSentinels) {
    double max = VAL_INVALID, min = VAL_INVALID;
    const double a[] = {VAL_ABSENT, 12.5, VAL_LOW, -3.0, 8388607, NAN};
    AccumulateExtremes(a, 6, max, min);
    EXPECT_EQ(max, 12.5);
    EXPECT_EQ(min, -3.0);
    const double b[] = {VAL_INVALID};
    double max2 = VAL_INVALID, min2 = VAL_INVALID;
    AccumulateExtremes(b, 1, max2, min2);
    EXPECT_TRUE(IsSentinel(max2) && IsSentinel(min2));
}

TEST(PanelRows, OneLineTwoLineAndTheFallback) {
    // Short labels: one line, block centred across and down.
    PanelLayout l = LayoutPanelRows(120, 310, {{25, 17, 50, 17}, {30, 17, 45, 17}});
    EXPECT_FALSE(l.twoLine);
    ASSERT_EQ(l.rows.size(), 2u);
    EXPECT_EQ(l.rows[0].label, (Box{17, 148, 102, 302}));  // widest label 30, value 50
    EXPECT_EQ(l.rows[0].value, l.rows[0].label);
    EXPECT_EQ(l.rows[1].label.top, 173);

    // "Wind Direction" is too wide: label bands above the values.
    const PanelRowSize wide{112, 17, 40, 17};
    l = LayoutPanelRows(120, 310, {wide, wide, wide});
    EXPECT_TRUE(l.twoLine);
    EXPECT_EQ(l.rows[0].band, (Box{1, 104, 119, 129}));
    EXPECT_EQ(l.rows[0].value, (Box{1, 132, 119, 149}));
    EXPECT_EQ(l.rows[1].band.top, 150);
    // Three such rows still fit the 180-pixel panel of the rain layout.
    EXPECT_EQ(LayoutPanelRows(120, 180, {wide, wide, wide}).rows[0].band.top, 39);

    // Five rain rows with a three-digit total would climb over the caption
    // on two lines; they fit on one.
    const PanelRowSize rain{43, 17, 66, 17};
    l = LayoutPanelRows(120, 250, std::vector<PanelRowSize>(5, rain));
    EXPECT_FALSE(l.twoLine);
    EXPECT_EQ(l.rows[0].label.left, 3);
    EXPECT_EQ(l.rows[0].label.top, 36 + (242 - 125 - 36 + 8) / 2);

    // A four-digit total: too wide for one line as well, so the rows close up
    // (42 pixels a row instead of 46) and the last stays above the border.
    const PanelRowSize total{43, 17, 73, 17};
    l = LayoutPanelRows(120, 250, std::vector<PanelRowSize>(5, total));
    EXPECT_TRUE(l.twoLine);
    EXPECT_EQ(l.rows[0].band, (Box{1, 38, 119, 60}));
    EXPECT_EQ(l.rows[0].value, (Box{1, 62, 119, 79}));
    EXPECT_EQ(l.rows[4].band.top, 38 + 4 * 42);
    EXPECT_EQ(l.rows[4].value.bottom, 247);

    // Too wide for one line and too many rows: the first row stays below the caption.
    l = LayoutPanelRows(120, 180, std::vector<PanelRowSize>(6, wide));
    EXPECT_TRUE(l.twoLine);
    EXPECT_EQ(l.rows[0].band.top, kPanelBodyTop);

    EXPECT_TRUE(LayoutPanelRows(120, 310, {}).rows.empty());
}

TEST(PanelRows, NarrowColumnsOfThePlugin) {
    // One line: label LW + 5 and value VW from the block's left, rows as before.
    std::vector<PanelRowSize> rows = {{25, 15, 50, 15}, {30, 15, 45, 15}};
    PanelLayout l = LayoutPanelRows(120, 310, rows);
    const int top = l.rows[1].label.top;
    UseNarrowColumns(l, 120, rows);
    const int left = (120 - 30 - 50 - 13) / 2;
    EXPECT_EQ(l.rows[1].label, (Box{left, top, left + 35, 302}));
    EXPECT_EQ(l.rows[1].value, (Box{left + 37, top, left + 87, 302}));

    // Two lines: band and value as wide as the widest text plus 5.
    rows = {{100, 15, 40, 15}};
    l = LayoutPanelRows(120, 310, rows);
    const Box band = l.rows[0].band;
    UseNarrowColumns(l, 120, rows);
    EXPECT_EQ(l.rows[0].band, (Box{10, band.top, 115, band.bottom}));
    EXPECT_EQ(l.rows[0].value.left, 10);
    EXPECT_EQ(l.rows[0].value.right, 115);
}
