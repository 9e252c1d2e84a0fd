#pragma once

#include <QColor>
#include <QImage>
#include <QRect>

// Colour checks on display surfaces.
namespace nimbary::testing {

inline QColor At(const QImage& image, int x, int y) {
    return QColor(image.pixel(x, y));
}

inline bool Is(const QImage& image, int x, int y, const QColor& c) {
    return QColor(image.pixel(x, y)).rgb() == c.rgb();
}

// Pixels of exactly colour `c` within `r`.
inline int CountColour(const QImage& image, const QRect& r, const QColor& c) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += Is(image, x, y, c);
    return n;
}

// Pixels clearly darker than the light greys the frames are made of: text.
inline int CountDark(const QImage& image, const QRect& r) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += qGray(image.pixel(x, y)) < 150;
    return n;
}

}  // namespace nimbary::testing
