#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <initializer_list>
#include <string>
#include <vector>

#include "GraphGeometry.h"

class QPainter;

namespace nimbary {

class TextSource;

// One small line chart: up to nine series over a fixed x range, a legend
// above the plot whose entries toggle their series, and a y axis scaled to
// the data of the present series.
class MiniGraph {
public:
    MiniGraph();

    // Re-creates the surface for a w x h graph at (x, y) in the view.
    void Place(int x, int y, int w, int h);
    void SetDivisions(int xDivisions, int yDivisions);
    void SetDecimals(int decimals);  // of the y labels, 0..2
    void SetXRange(int start, int end);
    void SetLimits(double upper, double lower);

    // Discards all series and creates `seriesCount` empty ones with `points`
    // points (at least 10, at most the graph's width), one colour each.
    void Init(int seriesCount, int points, const std::vector<QColor>& colours);
    void SetNames(const std::vector<std::string>& names);
    void SetNamesFromStrings(const std::vector<int>& ids, TextSource& texts);

    // Point 0 of the first `count` series; dirty when any value changes.
    void SetCurrent(const double* values, int count);
    void SetCurrent(std::initializer_list<double> values);
    // x and the values of point `index` in the first `count` series.
    void SetPoint(int index, int x, const double* values, int count);
    void SetPoint(int index, int x, std::initializer_list<double> values);
    void SetPresent(const bool* flags, int count);
    void SetPresent(std::initializer_list<bool> flags);

    // (x, y) in view coordinates: on the legend entry of a present, named
    // series as last drawn.
    bool HitLegend(int x, int y) const;
    // The same test; on a hit the series is shown or hidden and true returned.
    bool ToggleAt(int x, int y);

    // Draws when `full` or dirty; returns true when it drew onto the target.
    bool Draw(QPainter& target, bool full);

    int X() const { return x_; }
    int Y() const { return y_; }
    int Width() const { return w_; }
    int Height() const { return h_; }
    bool Dirty() const { return dirty_; }
    int SeriesCount() const { return int(series_.size()); }
    int PointCount() const { return points_; }
    int Decimals() const { return decimals_; }
    int XDivisions() const { return xDivisions_; }
    int YDivisions() const { return yDivisions_; }
    double UpperLimit() const { return upper_; }
    double LowerLimit() const { return lower_; }
    bool Shown(int s) const { return Valid(s) && series_[s].shown; }
    bool Present(int s) const { return Valid(s) && series_[s].present; }
    QString Name(int s) const { return Valid(s) ? series_[s].name : QString(); }
    double Value(int s, int point) const;
    int PointX(int point) const;
    // As computed by the last draw.
    double DataMax() const { return dataMax_; }
    double DataMin() const { return dataMin_; }
    const YScale& Scale() const { return scale_; }
    const Box& Plot() const { return plot_; }
    Box LegendBox(int s) const { return Valid(s) ? series_[s].legend : Box(); }
    const QImage& Surface() const { return surface_; }

private:
    struct Series {
        QColor colour;
        QString name;
        std::vector<double> data;
        Box legend;  // hit area in graph coordinates
        bool shown = true;
        bool present = false;
        int nameWidth = 0;
    };

    bool Valid(int s) const { return s >= 0 && s < int(series_.size()); }
    int LegendHit(int x, int y) const;
    void Paint(QPainter& p);

    QFont font_;
    int x_ = 0, y_ = 0, w_ = 0, h_ = 0;
    int xDivisions_ = 9;
    int yDivisions_ = 10;
    int decimals_ = 1;
    int xStart_ = 0, xEnd_ = 72;
    double upper_ = 0.0, lower_ = 0.0;
    int points_ = 0;
    std::vector<int> xs_;
    std::vector<Series> series_;
    double dataMax_;
    double dataMin_;
    YScale scale_;
    Box plot_;
    bool dirty_ = false;
    QImage background_;  // corners, border and white inside, made once per Place
    QImage surface_;
    std::vector<Segment> segments_;  // reused by every draw
};

}  // namespace nimbary
