#include "GraphGeometry.h"

#include <Qt>
#include <algorithm>
#include <cmath>

#include "Format.h"
#include "Units.h"

namespace nimbary {

int CountLegendRows(const std::vector<QSize>& names, int graphWidth) {
    int rows = 1;
    int run = 0;
    for (const QSize& s : names) {
        const int entry = s.width() + s.height();
        if (run + entry > graphWidth - 60) {
            run = entry + 10;
            ++rows;
        } else {
            run += entry + 10;
        }
    }
    return rows;
}

Box ComputePlotBox(int w, int h, int nameHeight, int legendRows) {
    Box plot{kPlotLeft, kPlotTop, w - kPlotRightMargin, h - kPlotBottomMargin};
    plot.top += nameHeight * legendRows;
    return plot;
}

std::vector<XLabel> XAxisLabels(const Box& plot, int graphHeight, int divisions, int start,
                                int end) {
    std::vector<XLabel> labels;
    if (divisions <= 0) return labels;
    const double cw = double(plot.Width()) / divisions;
    const int half = int(cw) / 2;
    const int step = (end - start) / divisions;

    int value = start;
    labels.push_back({value, -1, Box{plot.left, plot.bottom, plot.left + int(cw), graphHeight},
                      Qt::AlignLeft | Qt::AlignTop});
    for (int i = 1; i < divisions; ++i) {
        const int x = plot.left + int(i * cw);
        value += step;
        labels.push_back({value, x, Box{x - half, plot.bottom, x + half, graphHeight},
                          Qt::AlignHCenter | Qt::AlignTop});
    }
    value += step;
    labels.push_back({value, -1, Box{plot.right - int(cw), plot.bottom, plot.right, graphHeight},
                      Qt::AlignRight | Qt::AlignTop});
    return labels;
}

YScale ComputeYScale(double dataMax, double dataMin, double upper, double lower, int divisions,
                     int decimals) {
    divisions = std::max(1, divisions);
    YScale s;
    if (IsSentinel(dataMax) || IsSentinel(dataMin)) {
        s.top = upper;
        s.bottom = lower;
    } else {
        const double margin = (dataMax - dataMin) / divisions / 10;
        s.top = dataMax + margin;
        s.bottom = dataMin - margin;
        if (s.bottom < lower) s.bottom = lower;
    }
    const double raw = (s.top - s.bottom) / divisions;
    // The whole part cuts toward zero, for the step and the bottom alike.
    switch (decimals) {
        case 0:
            s.step = std::max(1.0, std::trunc(raw + 0.9));
            s.bottom = std::trunc(s.bottom);
            break;
        case 2:
            s.step = std::max(0.01, std::trunc((raw + 0.009) * 100) / 100);
            s.bottom = std::trunc(s.bottom * 100) / 100;
            break;
        default:
            s.step = std::max(0.1, std::trunc((raw + 0.09) * 10) / 10);
            s.bottom = std::trunc(s.bottom * 10) / 10;
            break;
    }
    s.top = s.bottom + divisions * s.step;
    // Rounding the step down and cutting the bottom can leave the axis top
    // below the highest reading, which would then be flattened against the
    // plot frame; widen the step by the labels' last digit until it fits.
    if (!IsSentinel(dataMax) && !IsSentinel(dataMin)) {
        const double unit = decimals == 0 ? 1.0 : decimals == 2 ? 0.01 : 0.1;
        for (int i = 0; i < 1000 && s.top < dataMax - 1e-9; ++i) {
            s.step += unit;
            s.top = s.bottom + divisions * s.step;
        }
    }
    return s;
}

std::vector<YLabel> YAxisLabels(const Box& plot, const YScale& scale, int divisions) {
    std::vector<YLabel> labels;
    if (divisions <= 0) return labels;
    const double rh = double(plot.Height()) / divisions;
    const int half = int(rh) / 2;
    auto box = [&](int y) { return Box{0, y - half, plot.left - 5, y + half}; };

    labels.push_back({scale.bottom, plot.bottom, false, box(plot.bottom)});
    for (int i = 1; i < divisions; ++i) {
        const int y = int(plot.bottom - i * rh);
        labels.push_back({scale.bottom + i * scale.step, y, true, box(y)});
    }
    labels.push_back({scale.top, plot.top, false, box(plot.top)});
    return labels;
}

std::string AxisLabelText(double value, int decimals) {
    decimals = std::clamp(decimals, 0, 2);
    std::string text = FixedText(value, decimals);
    // Values just below zero would print as "-0", "-0.0" or "-0.00".
    if (!text.empty() && text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos)
        text.erase(0, 1);
    return text;
}

std::vector<LegendSlot> PlaceLegend(const std::vector<int>& nameWidths, int nameHeight, int left,
                                    int right) {
    std::vector<LegendSlot> placed;
    placed.reserve(nameWidths.size());
    int x = left;
    int top = kLegendTop;
    const int side = std::max(0, nameHeight - 4);
    for (int width : nameWidths) {
        if (x + nameHeight + width > right) {
            x = left;
            top += nameHeight;
        }
        LegendSlot slot;
        slot.name = Box{x, top, x + width, top + nameHeight};
        const int boxLeft = x + width + 2;
        slot.box = Box{boxLeft, top + 2, boxLeft + side, top + 2 + side};
        slot.hit = Box{x, top, slot.box.right + 2, top + nameHeight};
        placed.push_back(slot);
        x = slot.box.right + 12;
    }
    return placed;
}

void AccumulateExtremes(const double* values, int count, double& max, double& min) {
    for (int i = 0; i < count; ++i) {
        const double v = values[i];
        // Sentinels are not readings; a non-finite value would wreck the scale.
        if (!(v < VAL_INVALID) || !std::isfinite(v)) continue;
        if (IsSentinel(max) || v > max) max = v;
        if (IsSentinel(min) || v < min) min = v;
    }
}

QPoint ScreenMap::Map(int x, double value) const {
    const int span = xEnd - xStart;
    int sx = span != 0 ? plot.left + plot.Width() * (x - xStart) / span : plot.left;
    const double range = scale.top - scale.bottom;
    int sy = plot.bottom;
    if (range > 0) {
        // Beyond the plot either way; clamped below, and kept within int.
        const double offset = std::clamp((value - scale.bottom) * plot.Height() / range, -1e6, 1e6);
        sy = plot.bottom - int(offset);
    }
    sx = std::clamp(sx, plot.left, plot.right);
    sy = std::clamp(sy, plot.top, plot.bottom);
    return QPoint(sx, sy);
}

void TraceSeries(const int* xs, const double* values, int count, const ScreenMap& map,
                 std::vector<Segment>& out) {
    out.clear();
    const int lo = std::min(map.xStart, map.xEnd);
    const int hi = std::max(map.xStart, map.xEnd);
    bool started = false;
    bool gap = false;
    QPoint last;
    for (int i = 0; i < count; ++i) {
        const double v = std::clamp(values[i], -100.0, 8388607.0);
        const bool usable = v < VAL_INVALID && xs[i] >= lo && xs[i] <= hi;
        if (!usable) {
            gap = started;
            continue;
        }
        const QPoint p = map.Map(xs[i], v);
        if (started) out.push_back({last, p, gap});
        started = true;
        gap = false;
        last = p;
    }
}

}  // namespace nimbary
