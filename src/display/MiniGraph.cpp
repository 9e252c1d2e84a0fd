#include "MiniGraph.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cstring>

#include "DisplayColors.h"
#include "DisplayFonts.h"
#include "Raster.h"
#include "TextSource.h"
#include "Units.h"

namespace nimbary {

MiniGraph::MiniGraph() : font_(GraphFont()), dataMax_(VAL_INVALID), dataMin_(VAL_INVALID) {}

void MiniGraph::Place(int x, int y, int w, int h) {
    x_ = x;
    y_ = y;
    w_ = std::max(0, w);
    h_ = std::max(0, h);
    background_ = QImage();
    surface_ = QImage();
    if (w_ > 0 && h_ > 0) {
        background_ = QImage(w_, h_, QImage::Format_RGB32);
        FillRoundedFrame(background_, colors::kPanelBody.rgb(), colors::kBorder.rgb(),
                         colors::kGraphInside.rgb());
        surface_ = QImage(w_, h_, QImage::Format_RGB32);
        surface_.fill(colors::kBackground);
    }
    dirty_ = true;
}

void MiniGraph::SetDivisions(int xDivisions, int yDivisions) {
    xDivisions = std::max(1, xDivisions);
    yDivisions = std::max(1, yDivisions);
    if (xDivisions == xDivisions_ && yDivisions == yDivisions_) return;
    xDivisions_ = xDivisions;
    yDivisions_ = yDivisions;
    dirty_ = true;
}

void MiniGraph::SetDecimals(int decimals) {
    decimals = std::clamp(decimals, 0, 2);
    if (decimals == decimals_) return;
    decimals_ = decimals;
    dirty_ = true;
}

void MiniGraph::SetXRange(int start, int end) {
    if (start == xStart_ && end == xEnd_) return;
    xStart_ = start;
    xEnd_ = end;
    dirty_ = true;
}

void MiniGraph::SetLimits(double upper, double lower) {
    if (upper == upper_ && lower == lower_) return;
    upper_ = upper;
    lower_ = lower;
    dirty_ = true;
}

void MiniGraph::Init(int seriesCount, int points, const std::vector<QColor>& colours) {
    seriesCount = std::max(0, seriesCount);
    points_ = points < w_ ? std::max(points, 10) : w_;
    points_ = std::max(0, points_);
    xs_.assign(points_, 0);
    series_.assign(seriesCount, Series());
    for (int s = 0; s < seriesCount; ++s) {
        series_[s].data.assign(points_, VAL_ABSENT);
        series_[s].colour = s < int(colours.size()) ? colours[s] : QColor(Qt::black);
    }
    dataMax_ = dataMin_ = VAL_INVALID;
    dirty_ = true;
}

void MiniGraph::SetNames(const std::vector<std::string>& names) {
    const QFontMetrics fm(font_);
    for (size_t s = 0; s < series_.size() && s < names.size(); ++s) {
        const QString name = QString::fromStdString(names[s]);
        if (name == series_[s].name) continue;
        series_[s].name = name;
        series_[s].nameWidth = fm.horizontalAdvance(name);
        dirty_ = true;
    }
}

void MiniGraph::SetNamesFromStrings(const std::vector<int>& ids, TextSource& texts) {
    std::vector<std::string> names;
    names.reserve(ids.size());
    for (int id : ids) names.push_back(texts.Load(id));
    SetNames(names);
}

void MiniGraph::SetCurrent(const double* values, int count) {
    if (points_ <= 0) return;
    const int n = std::min(count, int(series_.size()));
    for (int s = 0; s < n; ++s) {
        if (series_[s].data[0] == values[s]) continue;
        series_[s].data[0] = values[s];
        dirty_ = true;
    }
}

void MiniGraph::SetCurrent(std::initializer_list<double> values) {
    SetCurrent(values.begin(), int(values.size()));
}

void MiniGraph::SetPoint(int index, int x, const double* values, int count) {
    if (index < 0 || index >= points_) return;
    if (xs_[index] != x) {
        xs_[index] = x;
        dirty_ = true;
    }
    const int n = std::min(count, int(series_.size()));
    for (int s = 0; s < n; ++s) {
        if (series_[s].data[index] == values[s]) continue;
        series_[s].data[index] = values[s];
        dirty_ = true;
    }
}

void MiniGraph::SetPoint(int index, int x, std::initializer_list<double> values) {
    SetPoint(index, x, values.begin(), int(values.size()));
}

void MiniGraph::SetPresent(const bool* flags, int count) {
    const int n = std::min(count, int(series_.size()));
    for (int s = 0; s < n; ++s) {
        if (series_[s].present == flags[s]) continue;
        series_[s].present = flags[s];
        dirty_ = true;
    }
}

void MiniGraph::SetPresent(std::initializer_list<bool> flags) {
    SetPresent(flags.begin(), int(flags.size()));
}

double MiniGraph::Value(int s, int point) const {
    if (!Valid(s) || point < 0 || point >= points_) return VAL_ABSENT;
    return series_[s].data[point];
}

int MiniGraph::PointX(int point) const {
    return point >= 0 && point < points_ ? xs_[point] : 0;
}

int MiniGraph::LegendHit(int x, int y) const {
    const int lx = x - x_;
    const int ly = y - y_;
    for (int s = 0; s < int(series_.size()); ++s) {
        const Series& se = series_[s];
        if (se.present && !se.name.isEmpty() && se.legend.Contains(lx, ly)) return s;
    }
    return -1;
}

bool MiniGraph::HitLegend(int x, int y) const {
    return LegendHit(x, y) >= 0;
}

bool MiniGraph::ToggleAt(int x, int y) {
    const int s = LegendHit(x, y);
    if (s < 0) return false;
    series_[s].shown = !series_[s].shown;
    dirty_ = true;
    return true;
}

bool MiniGraph::Draw(QPainter& target, bool full) {
    if (surface_.isNull()) return false;
    if (!full && !dirty_) return false;
    dirty_ = false;
    {
        QPainter p(&surface_);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setFont(font_);
        Paint(p);
    }
    target.drawImage(x_, y_, surface_);
    return true;
}

void MiniGraph::Paint(QPainter& p) {
    // Data extremes over every present series, shown or hidden, so hiding a
    // series does not rescale the others.
    dataMax_ = dataMin_ = VAL_INVALID;
    for (const Series& se : series_)
        if (se.present) AccumulateExtremes(se.data.data(), points_, dataMax_, dataMin_);

    // Legend rows reserve their height above the plot.
    const QFontMetrics fm(font_);
    const int cell = fm.height();
    int nameHeight = 0;
    std::vector<QSize> named;
    std::vector<int> nameWidths;
    std::vector<int> namedSeries;
    for (int s = 0; s < int(series_.size()); ++s) {
        Series& se = series_[s];
        se.legend = Box();
        if (!se.present) continue;
        nameHeight = cell;
        if (se.name.isEmpty()) continue;
        named.emplace_back(se.nameWidth, cell);
        nameWidths.push_back(se.nameWidth);
        namedSeries.push_back(s);
    }
    const int rows = CountLegendRows(named, w_);
    plot_ = ComputePlotBox(w_, h_, nameHeight, rows);

    std::memcpy(surface_.bits(), background_.constBits(), size_t(background_.sizeInBytes()));
    const QPen gridPen = LinePen(colors::kGrid);
    const int textFlags = Qt::TextSingleLine;

    // x axis: "now" at the left, hours back to the right.
    for (const XLabel& l : XAxisLabels(plot_, h_, xDivisions_, xStart_, xEnd_)) {
        if (l.gridX >= 0) {
            p.setPen(gridPen);
            p.drawLine(l.gridX, plot_.top, l.gridX, plot_.bottom);
        }
        p.setPen(colors::kGraphText);
        p.drawText(l.box.ToQRect(), l.align | textFlags, QString::number(l.value));
    }

    // y axis.
    scale_ = ComputeYScale(dataMax_, dataMin_, upper_, lower_, yDivisions_, decimals_);
    for (const YLabel& l : YAxisLabels(plot_, scale_, yDivisions_)) {
        if (l.grid) {
            p.setPen(gridPen);
            p.drawLine(plot_.left, l.y, plot_.right, l.y);
        }
        p.setPen(colors::kGraphText);
        p.drawText(l.box.ToQRect(), Qt::AlignRight | Qt::AlignVCenter | textFlags,
                   QString::fromStdString(AxisLabelText(l.value, decimals_)));
    }

    // Plot frame, two pixels thick.
    p.setPen(gridPen);
    DrawOutline(p, plot_);
    DrawOutline(p, Box{plot_.left - 1, plot_.top - 1, plot_.right + 1, plot_.bottom + 1});

    // Legend: name, then a colour box that is hollow while the series is hidden.
    const std::vector<LegendSlot> placed =
        PlaceLegend(nameWidths, nameHeight, plot_.left, plot_.right);
    for (size_t i = 0; i < placed.size(); ++i) {
        Series& se = series_[namedSeries[i]];
        const LegendSlot& slot = placed[i];
        p.setPen(colors::kGraphText);
        p.drawText(slot.name.ToQRect(), Qt::AlignLeft | Qt::AlignBottom | textFlags, se.name);
        if (se.shown) {
            p.fillRect(slot.box.ToQRect(), se.colour);
        } else {
            p.setPen(LinePen(se.colour));
            DrawOutline(p, slot.box);
        }
        se.legend = slot.hit;
    }

    // Lines.
    const ScreenMap map{plot_, xStart_, xEnd_, scale_};
    for (const Series& se : series_) {
        if (!se.present || !se.shown || se.data.empty()) continue;
        TraceSeries(xs_.data(), se.data.data(), points_, map, segments_);
        const QPen solid = LinePen(se.colour);
        const QPen dashed = LinePen(se.colour, Qt::DashLine);
        for (const Segment& seg : segments_) {
            p.setPen(seg.dashed ? dashed : solid);
            p.drawLine(seg.from, seg.to);
        }
    }
}

}  // namespace nimbary
