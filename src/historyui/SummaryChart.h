#pragma once

#include <QChartView>

class QAreaSeries;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

namespace nimbary {

class SummaryTable;

// The summary's chart: each period's maximum and minimum of one quantity
// as a band over its span, and the rain totals as bars against an axis of
// their own on the right.
class SummaryChart : public QChartView {
    Q_OBJECT
public:
    explicit SummaryChart(QWidget* parent = nullptr);

    // Shows the maximum and minimum columns of `group` of `table` (none
    // for a group without them) and its rain totals.
    void Show(const SummaryTable& table, int group);

    QAreaSeries* Band() const { return band_; }
    QAreaSeries* Rain() const { return rain_; }
    QValueAxis* ValueAxis() const { return valueAxis_; }
    QValueAxis* RainAxis() const { return rainAxis_; }
    QDateTimeAxis* TimeAxis() const { return timeAxis_; }

private:
    QDateTimeAxis* timeAxis_;
    QValueAxis* valueAxis_;
    QValueAxis* rainAxis_;
    QLineSeries* high_;
    QLineSeries* low_;
    QLineSeries* rainTop_;
    QAreaSeries* band_;
    QAreaSeries* rain_;
};

}  // namespace nimbary
