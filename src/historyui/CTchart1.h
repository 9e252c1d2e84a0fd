#pragma once

#include <QChartView>
#include <QTimer>
#include <array>
#include <memory>

#include "ChartData.h"

class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

namespace nimbary {

// The history chart: nine line series over a date-time axis and a value
// axis with a fixed range, a legend at the top whose markers switch their
// series on and off, white background, no title.
//
// Beyond the plain chart: drag across it to zoom into a time span, right
// click to zoom back out; hovering over a line tells the time and value of
// the nearest record. A long history is drawn from a reduced set of points
// (ChartData), made again from the table for the span zoomed into.
class CTchart1 : public QChartView {
    Q_OBJECT
public:
    // Points a series keeps: four for each of this many time spans, more
    // than a screen has pixel columns.
    static constexpr int kBuckets = 4096;

    explicit CTchart1(QWidget* parent = nullptr);

    // Shows `graph` of `table`, in the units the table was loaded with:
    // every series with points gets its title and is shown with its legend
    // entry, the others are hidden; the value axis takes the data's range
    // and the time axis the points' span (`from`..`to`, OLE dates, when
    // there are none). The chart keeps the table for zooming and hovering.
    void Show(std::shared_ptr<const HistoryTable> table, Graph graph, double from, double to);

    const ChartData& Data() const { return data_; }
    QLineSeries* Series(int index) const { return series_[index]; }
    QValueAxis* ValueAxis() const { return valueAxis_; }
    QDateTimeAxis* TimeAxis() const { return timeAxis_; }
    // Text of the hover tip for the record of series `index` nearest to the
    // axis time `msecs`; empty when the series has no points.
    QString TipText(int index, double msecs) const;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void ToggleSeries(int index);
    void UpdateMarker(int index);
    void PutPoints();
    void RefillForAxis();

    QValueAxis* valueAxis_;
    QDateTimeAxis* timeAxis_;
    std::array<QLineSeries*, kChartSeries> series_{};
    std::shared_ptr<const HistoryTable> table_;
    ChartData data_;
    bool showing_ = false;
    bool reducible_ = false;  // the whole span has more points than are drawn
    QTimer refill_;           // after a zoom, once the axis has settled
};

}  // namespace nimbary
