#include <gtest/gtest.h>

#include <QPainter>

#include "DisplayColors.h"
#include "MiniGraph.h"
#include "PixelHelpers.h"
#include "Units.h"

using namespace nimbary;
using namespace nimbary::testing;

namespace {

const std::vector<QColor> kColours(colors::kSeries.begin(), colors::kSeries.end());

// A temperature-like graph at (127, 8), two named series, x = point index.
void PrepareTempGraph(MiniGraph& g, int series = 2) {
    g.Place(127, 8, 452, 310);
    g.SetDivisions(9, 10);
    g.SetDecimals(1);
    g.SetXRange(0, 72);
    g.SetLimits(325.0, -80.0);
    g.Init(series, 41, kColours);
    g.SetNames({"IN", "OUT"});
    for (int i = 0; i < g.PointCount(); ++i) g.SetPoint(i, i, nullptr, 0);
}

QImage Canvas() {
    QImage im(1170, 690, QImage::Format_RGB32);
    im.fill(colors::kBackground);
    return im;
}

}  // namespace

TEST(MiniGraph, PointCountFollowsTheWidth) {
    MiniGraph g;
    g.Place(0, 0, 435, 180);
    g.Init(1, 41, kColours);
    EXPECT_EQ(g.PointCount(), 41);
    g.Init(1, 5, kColours);
    EXPECT_EQ(g.PointCount(), 10);
    g.Init(1, 500, kColours);
    EXPECT_EQ(g.PointCount(), 435);
    EXPECT_EQ(g.Value(0, 3), VAL_ABSENT);
    EXPECT_FALSE(g.Present(0));
    EXPECT_TRUE(g.Shown(0));
}

TEST(MiniGraph, FrameGridAndPlotFrame) {
    MiniGraph g;
    PrepareTempGraph(g);
    g.SetPresent({true, true});
    for (int i = 0; i < 41; ++i) g.SetPoint(i, i, {60.0 + i % 20, 70.0});
    QImage canvas = Canvas();
    QPainter p(&canvas);
    ASSERT_TRUE(g.Draw(p, true));
    const QImage& s = g.Surface();

    EXPECT_TRUE(Is(s, 0, 0, colors::kPanelBody));  // graph corner fill
    EXPECT_TRUE(Is(s, 451, 309, colors::kPanelBody));
    EXPECT_TRUE(Is(s, 226, 0, colors::kBorder));
    EXPECT_TRUE(Is(s, 0, 150, colors::kBorder));
    EXPECT_TRUE(Is(s, 451, 150, colors::kBorder));
    EXPECT_TRUE(Is(s, 226, 309, colors::kBorder));
    EXPECT_TRUE(Is(s, 10, 300, colors::kGraphInside));

    const Box plot = g.Plot();
    const int top = plot.top;
    EXPECT_EQ(plot, (Box{50, top, 442, 290}));
    EXPECT_GT(top, 10);  // the legend row sits above the plot
    // Plot frame two pixels thick on every side.
    for (int x : {49, 50, 441, 442}) EXPECT_TRUE(Is(s, x, 150, colors::kGrid)) << x;
    for (int y : {top - 1, top, 289, 290}) EXPECT_TRUE(Is(s, 300, y, colors::kGrid)) << y;
    EXPECT_TRUE(Is(s, 48, 150, colors::kGraphInside));
    EXPECT_TRUE(Is(s, 443, 150, colors::kGraphInside));
    // Vertical grid line at the first inner column, horizontal one row up.
    EXPECT_TRUE(Is(s, 93, top + 5, colors::kGrid));
    EXPECT_TRUE(Is(s, 92, top + 5, colors::kGraphInside));
    const int rowY = int(290 - (290 - top) / 10.0);
    EXPECT_TRUE(Is(s, 420, rowY, colors::kGrid));
    // Axis labels below and left of the plot.
    EXPECT_GT(CountDark(s, QRect(50, 291, 392, 19)), 20);
    EXPECT_GT(CountDark(s, QRect(0, top, 45, 290 - top)), 20);
    // Both series drawn in their colours.
    EXPECT_GT(CountColour(s, plot.ToQRect(), kColours[0]), 100);
    // The level series runs from x = 0 to x = 40 of 72: pixels 50 to 266.
    EXPECT_EQ(CountColour(s, plot.ToQRect(), kColours[1]), 217);
    // And the surface lands at (127, 8).
    EXPECT_EQ(canvas.pixel(127 + 226, 8), s.pixel(226, 0));
}

TEST(MiniGraph, HiddenSeriesStillCountsForTheAxis) {
    MiniGraph g;
    PrepareTempGraph(g);
    g.SetPresent({true, true});
    for (int i = 0; i < 41; ++i) g.SetPoint(i, i, {60.0 + i * 0.5, 10.0 + i * 2});
    QImage canvas = Canvas();
    QPainter p(&canvas);
    g.Draw(p, true);
    const YScale before = g.Scale();
    EXPECT_EQ(g.DataMin(), 10.0);
    EXPECT_EQ(g.DataMax(), 90.0);

    // Click the second legend entry (view coordinates).
    const Box hit = g.LegendBox(1);
    ASSERT_GT(hit.Width(), 0);
    const int cx = g.X() + hit.left + 1, cy = g.Y() + hit.top + 1;
    EXPECT_TRUE(g.HitLegend(cx, cy));
    EXPECT_FALSE(g.HitLegend(cx - g.X(), cy - g.Y()));  // graph coordinates are not view ones
    ASSERT_TRUE(g.ToggleAt(cx, cy));
    EXPECT_FALSE(g.Shown(1));
    EXPECT_TRUE(g.Dirty());
    g.Draw(p, true);
    EXPECT_EQ(g.Scale().bottom, before.bottom);
    EXPECT_EQ(g.Scale().top, before.top);
    const QImage& s = g.Surface();
    EXPECT_EQ(CountColour(s, g.Plot().ToQRect(), kColours[1]), 0);
    EXPECT_GT(CountColour(s, g.Plot().ToQRect(), kColours[0]), 50);
    // The legend box is hollow: its edge keeps the colour, its middle is white.
    const Box lb = g.LegendBox(1);
    const int boxLeft = lb.right - 2 - (lb.Height() - 4);
    EXPECT_TRUE(Is(s, boxLeft, lb.top + 2, kColours[1]));
    EXPECT_TRUE(Is(s, boxLeft + 4, lb.top + 6, colors::kGraphInside));

    ASSERT_TRUE(g.ToggleAt(cx, cy));
    EXPECT_TRUE(g.Shown(1));
    g.Draw(p, true);
    EXPECT_TRUE(Is(g.Surface(), boxLeft + 4, lb.top + 6, kColours[1]));

    // An absent series neither counts nor answers clicks.
    g.SetPresent({true, false});
    g.Draw(p, true);
    EXPECT_EQ(g.DataMin(), 60.0);
    EXPECT_FALSE(g.HitLegend(cx, cy));
    EXPECT_FALSE(g.ToggleAt(cx, cy));
}

TEST(MiniGraph, SentinelOnlyDataTakesTheLimits) {
    MiniGraph g;
    PrepareTempGraph(g);
    g.SetPresent({true, true});
    g.SetCurrent({VAL_INVALID, VAL_HIGH});
    QImage canvas = Canvas();
    QPainter p(&canvas);
    g.Draw(p, true);
    EXPECT_DOUBLE_EQ(g.Scale().bottom, -80.0);
    EXPECT_DOUBLE_EQ(g.Scale().top, 325.0);
    EXPECT_EQ(CountColour(g.Surface(), g.Plot().ToQRect(), kColours[0]), 0);
}

TEST(MiniGraph, GapIsBridgedByADashedSegment) {
    MiniGraph g;
    PrepareTempGraph(g, 1);
    g.SetPresent({true});
    // A level line over points 0..10 with point 5 missing.
    for (int i = 0; i <= 10; ++i) g.SetPoint(i, i * 4, {i == 5 ? double(VAL_ABSENT) : 100.0});
    QImage canvas = Canvas();
    QPainter p(&canvas);
    g.Draw(p, true);
    const QImage& s = g.Surface();
    const ScreenMap map{g.Plot(), 0, 72, g.Scale()};
    const QPoint p4 = map.Map(16, 100), p6 = map.Map(24, 100), p3 = map.Map(12, 100);
    int on = 0, off = 0;
    for (int x = p4.x(); x < p6.x(); ++x) (Is(s, x, p4.y(), kColours[0]) ? on : off)++;
    EXPECT_GT(on, 3);
    EXPECT_GT(off, 3);
    for (int x = p3.x(); x < p4.x(); ++x) EXPECT_TRUE(Is(s, x, p3.y(), kColours[0])) << x;
}

TEST(MiniGraph, DirtyFlags) {
    MiniGraph g;
    PrepareTempGraph(g);
    g.SetPresent({true, true});
    g.SetCurrent({70.0, 60.0});
    QImage canvas = Canvas();
    QPainter p(&canvas);
    g.Draw(p, true);
    EXPECT_FALSE(g.Draw(p, false));
    g.SetCurrent({70.0, 60.0});
    g.SetPresent({true, true});
    EXPECT_FALSE(g.Dirty());
    g.SetCurrent({70.1, 60.0});
    EXPECT_TRUE(g.Dirty());
    EXPECT_TRUE(g.Draw(p, false));
    g.SetPresent({true, false});
    EXPECT_TRUE(g.Dirty());
}
