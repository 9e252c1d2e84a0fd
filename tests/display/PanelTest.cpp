#include <gtest/gtest.h>

#include <QPainter>

#include "DisplayColors.h"
#include "PixelHelpers.h"
#include "ValuePanel.h"

using namespace nimbary;
using namespace nimbary::testing;

namespace {

QImage Canvas() {
    QImage im(400, 400, QImage::Format_RGB32);
    im.fill(colors::kBackground);
    return im;
}

}  // namespace

TEST(ValuePanel, FrameCaptionBandAndBody) {
    ValuePanel panel;
    panel.Place(8, 8, 310);
    panel.SetCaptionText("Temperature");
    panel.SetRowCount(2);
    panel.SetLabel(0, "IN:");
    panel.SetValue(0, "22.0 °C");
    panel.SetVisible(0, true);
    QImage canvas = Canvas();
    QPainter p(&canvas);
    ASSERT_TRUE(panel.Draw(p, true));

    const QImage& s = panel.Surface();
    ASSERT_EQ(s.size(), QSize(120, 310));
    EXPECT_TRUE(Is(s, 0, 0, colors::kBackground));  // corner
    EXPECT_TRUE(Is(s, 119, 309, colors::kBackground));
    EXPECT_TRUE(Is(s, 60, 0, colors::kBorder));
    EXPECT_TRUE(Is(s, 0, 150, colors::kBorder));
    EXPECT_TRUE(Is(s, 119, 150, colors::kBorder));
    EXPECT_TRUE(Is(s, 60, 309, colors::kBorder));
    for (int x : {1, 60, 118}) EXPECT_TRUE(Is(s, x, 35, colors::kBorder)) << x;
    EXPECT_TRUE(Is(s, 5, 5, colors::kCaptionBand));
    EXPECT_TRUE(Is(s, 2, 34, colors::kCaptionBand));
    EXPECT_TRUE(Is(s, 117, 20, colors::kCaptionBand));
    EXPECT_TRUE(Is(s, 5, 40, colors::kPanelBody));
    EXPECT_TRUE(Is(s, 60, 305, colors::kPanelBody));
    EXPECT_GT(CountDark(s, QRect(0, 0, 120, 35)), 20);    // the caption
    EXPECT_GT(CountDark(s, QRect(1, 36, 118, 266)), 20);  // the visible row

    // Copied onto the target at the panel's position.
    for (int y = 0; y < 310; y += 31)
        for (int x = 0; x < 120; x += 7) ASSERT_EQ(canvas.pixel(8 + x, 8 + y), s.pixel(x, y));
}

TEST(ValuePanel, HiddenRowsAreNotDrawnAndTwoLineRowsGetBands) {
    ValuePanel panel;
    panel.Place(0, 0, 180);
    panel.SetRowCount(3);
    panel.SetLabel(0, "Wind");
    panel.SetLabel(2, "Wind Direction");
    panel.SetValue(0, "3.4 m/s");
    panel.SetValue(2, "SW");
    QImage canvas = Canvas();
    QPainter p(&canvas);
    panel.Draw(p, true);
    EXPECT_EQ(CountDark(panel.Surface(), QRect(1, 36, 118, 136)), 0);
    EXPECT_EQ(CountColour(panel.Surface(), QRect(1, 36, 118, 136), colors::kLabelBand), 0);

    panel.SetVisible(2, true);
    panel.Draw(p, false);
    const QImage& s = panel.Surface();
    EXPECT_GT(CountDark(s, QRect(1, 36, 118, 136)), 20);
    // "Wind Direction" does not fit beside its value: a label band spans the panel.
    int bandRows = 0;
    for (int y = 36; y < 172; ++y) bandRows += Is(s, 1, y, colors::kLabelBand);
    EXPECT_GT(bandRows, 15);
}

TEST(ValuePanel, DirtyOnlyWhenSomethingChanged) {
    ValuePanel panel;
    panel.Place(0, 0, 310);
    panel.SetRowCount(2);
    panel.SetValue(0, "45 %");
    panel.SetVisible(0, true);
    QImage canvas = Canvas();
    QPainter p(&canvas);
    panel.Draw(p, true);
    EXPECT_FALSE(panel.Dirty());

    panel.SetValue(0, "45 %");
    panel.SetVisible(0, true);
    EXPECT_FALSE(panel.Dirty());
    EXPECT_FALSE(panel.Draw(p, false));

    panel.SetValue(0, "46 %");
    EXPECT_TRUE(panel.Dirty());
    EXPECT_TRUE(panel.Draw(p, false));
    EXPECT_FALSE(panel.Dirty());
    panel.SetVisible(1, true);
    EXPECT_TRUE(panel.Dirty());

    // Values keep 19 characters; a longer text with the same start is no change.
    panel.SetValue(1, "0123456789012345678999");
    EXPECT_EQ(panel.Value(1), "0123456789012345678");
    panel.Draw(p, false);
    panel.SetValue(1, "0123456789012345678000");
    EXPECT_FALSE(panel.Dirty());
    // Out-of-range rows are ignored.
    panel.SetValue(7, "x");
    panel.SetVisible(-1, true);
    EXPECT_FALSE(panel.Dirty());
}

TEST(ValuePanel, NewSurfaceIsDrawnInFullEvenWhenNotAsked) {
    ValuePanel panel;
    panel.Place(0, 0, 100);
    panel.SetCaptionText("Wind");
    QImage canvas = Canvas();
    QPainter p(&canvas);
    ASSERT_TRUE(panel.Draw(p, false));
    EXPECT_TRUE(Is(panel.Surface(), 60, 35, colors::kBorder));
    EXPECT_TRUE(Is(panel.Surface(), 5, 5, colors::kCaptionBand));
}
