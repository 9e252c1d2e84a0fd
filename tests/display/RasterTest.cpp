#include <gtest/gtest.h>

#include "PixelHelpers.h"
#include "Raster.h"

using namespace nimbary;
using namespace nimbary::testing;

namespace {
const QColor kCorner(242, 242, 242), kBorder(160, 160, 160), kInside(250, 250, 250),
    kFill(240, 240, 240);
}

TEST(Raster, RoundedFrameIsSymmetricAndClosed) {
    QImage im(120, 60, QImage::Format_RGB32);
    im.fill(Qt::black);
    FillRoundedFrame(im, kCorner.rgb(), kBorder.rgb(), kInside.rgb());

    EXPECT_TRUE(Is(im, 0, 0, kCorner));
    EXPECT_TRUE(Is(im, 119, 59, kCorner));
    EXPECT_TRUE(Is(im, 1, 1, kCorner));
    EXPECT_TRUE(Is(im, 60, 0, kBorder));
    EXPECT_TRUE(Is(im, 60, 59, kBorder));
    EXPECT_TRUE(Is(im, 0, 30, kBorder));
    EXPECT_TRUE(Is(im, 119, 30, kBorder));
    EXPECT_TRUE(Is(im, 5, 5, kInside));
    EXPECT_TRUE(Is(im, 60, 30, kInside));
    EXPECT_EQ(CountColour(im, im.rect(), Qt::black), 0);  // every pixel painted
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 120; ++x) {
            ASSERT_EQ(im.pixel(x, y), im.pixel(119 - x, y)) << x << "," << y;
            ASSERT_EQ(im.pixel(x, y), im.pixel(x, 59 - y)) << x << "," << y;
        }

    // A fill from inside reaches every inside pixel and nothing beyond the border.
    const int inside = CountColour(im, im.rect(), kInside);
    EXPECT_EQ(FloodFillToBorder(im, 5, 5, kBorder.rgb(), kFill.rgb()), inside);
    EXPECT_EQ(CountColour(im, im.rect(), kInside), 0);
    EXPECT_TRUE(Is(im, 0, 0, kCorner));
}

TEST(Raster, FloodFillStopsAtABorderLine) {
    QImage im(120, 60, QImage::Format_RGB32);
    FillRoundedFrame(im, kCorner.rgb(), kBorder.rgb(), kInside.rgb());
    for (int x = 1; x < 119; ++x) im.setPixel(x, 35, kBorder.rgb());
    FloodFillToBorder(im, 5, 5, kBorder.rgb(), kFill.rgb());
    EXPECT_TRUE(Is(im, 5, 5, kFill));
    EXPECT_TRUE(Is(im, 118, 34, kFill));
    EXPECT_TRUE(Is(im, 5, 36, kInside));
    EXPECT_TRUE(Is(im, 60, 50, kInside));
    // Starting on the border, or outside the image, fills nothing.
    EXPECT_EQ(FloodFillToBorder(im, 60, 35, kBorder.rgb(), kFill.rgb()), 0);
    EXPECT_EQ(FloodFillToBorder(im, -1, 500, kBorder.rgb(), kFill.rgb()), 0);
}
