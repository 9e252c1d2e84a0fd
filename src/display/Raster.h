#pragma once

#include <QImage>
#include <QPainter>

#include "Box.h"

// Pixel-exact primitives for the display surfaces. The surfaces are drawn
// without antialiasing, so every frame, band and line lands on whole pixels.
namespace nimbary {

// Fills the four corner squares (2 * radius wide) with `corner`, then a
// rounded rectangle over the whole image: a one-pixel outline in `border`
// and `inside` within it. The corners are quarter circles of `radius`.
void FillRoundedFrame(QImage& image, QRgb corner, QRgb border, QRgb inside, int radius = 10);

// Four-connected fill from (x, y) over every pixel that is not `border`,
// stopping at `border` and the image edge. Returns the number of pixels set.
int FloodFillToBorder(QImage& image, int x, int y, QRgb border, QRgb fill);

// One-pixel outline of `box` (its last column and row are right - 1 and
// bottom - 1), nothing inside.
void DrawOutline(QPainter& painter, const Box& box);

// A one-pixel pen that leaves out a line's last pixel, so joined segments
// do not paint their shared point twice.
QPen LinePen(const QColor& colour, Qt::PenStyle style = Qt::SolidLine);

}  // namespace nimbary
