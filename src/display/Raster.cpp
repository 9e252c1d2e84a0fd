#include "Raster.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace nimbary {

namespace {

// First column inside a quarter circle of `radius` on row `row` counted from
// the nearest horizontal edge (0 = the edge row); 0 once past the corner.
int CornerInset(int row, int radius) {
    if (row >= radius) return 0;
    const double dy = radius - (row + 0.5);
    const double dx = std::sqrt(double(radius) * radius - dy * dy);
    return std::max(0, int(std::ceil(radius - dx - 0.5)));
}

}  // namespace

void FillRoundedFrame(QImage& image, QRgb corner, QRgb border, QRgb inside, int radius) {
    const int w = image.width();
    const int h = image.height();
    if (w <= 0 || h <= 0) return;
    const int r = std::max(0, std::min({radius, w / 2, h / 2}));

    std::vector<int> inset(h);
    for (int y = 0; y < h; ++y) inset[y] = CornerInset(std::min(y, h - 1 - y), r);

    // Corner squares first; whatever the rounded shape leaves of them keeps
    // the corner colour.
    const int side = 2 * radius;
    for (int y = 0; y < h; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const bool cornerRow = y < side || y >= h - side;
        for (int x = 0; x < w; ++x) {
            const bool cornerCol = x < side || x >= w - side;
            if (cornerRow && cornerCol) line[x] = corner;
        }
    }

    auto outside = [&](int x, int y) {
        if (y < 0 || y >= h || x < 0 || x >= w) return true;
        return x < inset[y] || x > w - 1 - inset[y];
    };
    for (int y = 0; y < h; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = inset[y]; x <= w - 1 - inset[y]; ++x) {
            const bool edge =
                outside(x - 1, y) || outside(x + 1, y) || outside(x, y - 1) || outside(x, y + 1);
            line[x] = edge ? border : inside;
        }
    }
}

int FloodFillToBorder(QImage& image, int x, int y, QRgb border, QRgb fill) {
    const int w = image.width();
    const int h = image.height();
    if (x < 0 || y < 0 || x >= w || y >= h) return 0;
    // Only colour matters: the surfaces are opaque.
    const QRgb mask = 0x00FFFFFF;
    border &= mask;
    auto at = [&](int px, int py) -> QRgb& {
        return reinterpret_cast<QRgb*>(image.scanLine(py))[px];
    };
    if ((at(x, y) & mask) == border) return 0;

    std::vector<unsigned char> done(size_t(w) * h, 0);
    auto open = [&](int px, int py) {
        return !done[size_t(py) * w + px] && (at(px, py) & mask) != border;
    };

    int count = 0;
    std::vector<std::pair<int, int>> seeds{{x, y}};
    while (!seeds.empty()) {
        auto [sx, sy] = seeds.back();
        seeds.pop_back();
        if (!open(sx, sy)) continue;
        int l = sx;
        while (l > 0 && open(l - 1, sy)) --l;
        int r = sx;
        while (r < w - 1 && open(r + 1, sy)) ++r;
        for (int px = l; px <= r; ++px) {
            done[size_t(sy) * w + px] = 1;
            at(px, sy) = fill;
            ++count;
        }
        // One seed per open run in the rows above and below.
        for (int ny : {sy - 1, sy + 1}) {
            if (ny < 0 || ny >= h) continue;
            bool inRun = false;
            for (int px = l; px <= r; ++px) {
                if (open(px, ny)) {
                    if (!inRun) seeds.emplace_back(px, ny);
                    inRun = true;
                } else {
                    inRun = false;
                }
            }
        }
    }
    return count;
}

void DrawOutline(QPainter& painter, const Box& box) {
    if (box.Width() <= 0 || box.Height() <= 0) return;
    painter.setBrush(Qt::NoBrush);
    // Qt's outline of a QRect covers width + 1 columns.
    painter.drawRect(QRect(box.left, box.top, box.Width() - 1, box.Height() - 1));
}

QPen LinePen(const QColor& colour, Qt::PenStyle style) {
    QPen pen(colour, 1, style, Qt::FlatCap, Qt::MiterJoin);
    return pen;
}

}  // namespace nimbary
