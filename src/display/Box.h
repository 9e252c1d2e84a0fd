#pragma once

#include <QRect>

namespace nimbary {

// A rectangle the way the drawing code reasons about it: right and bottom
// are one past the last pixel, as in the layout tables.
struct Box {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    QRect ToQRect() const { return QRect(left, top, right - left, bottom - top); }
    bool operator==(const Box& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool operator!=(const Box& o) const { return !(*this == o); }
};

}  // namespace nimbary
