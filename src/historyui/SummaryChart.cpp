#include "SummaryChart.h"

#include <QAreaSeries>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "CalendarTime.h"
#include "HistoryTable.h"
#include "RecordTime.h"
#include "StringTable.h"
#include "SummaryTable.h"

namespace nimbary {

namespace {

const QColor kBandColor(255, 128, 64);
const QColor kRainColor(0, 0, 255);

// A value axis over [lo, hi] with a fifth of the span to spare (10 when
// there is no span).
void SetRange(QValueAxis* axis, double lo, double hi, bool fromZero) {
    if (lo > hi) {
        lo = 0;
        hi = 10;
    }
    double pad = (hi - lo) * 0.2;
    if (pad == 0) pad = std::max(1.0, std::fabs(hi) * 0.1);
    axis->setRange(fromZero ? 0 : lo - pad, hi + pad);
    axis->applyNiceNumbers();
}

}  // namespace

SummaryChart::SummaryChart(QWidget* parent) : QChartView(new QChart(), parent) {
    QChart* chart = this->chart();
    chart->setBackgroundBrush(Qt::white);
    chart->setBackgroundPen(Qt::NoPen);
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->legend()->setAlignment(Qt::AlignTop);
    chart->legend()->setBackgroundVisible(false);

    timeAxis_ = new QDateTimeAxis(chart);
    valueAxis_ = new QValueAxis(chart);
    rainAxis_ = new QValueAxis(chart);
    chart->addAxis(timeAxis_, Qt::AlignBottom);
    chart->addAxis(valueAxis_, Qt::AlignLeft);
    chart->addAxis(rainAxis_, Qt::AlignRight);

    // The rain first, so the band is drawn over it.
    rainTop_ = new QLineSeries(chart);
    rain_ = new QAreaSeries(rainTop_);
    QColor rainFill = kRainColor;
    rainFill.setAlpha(110);
    rain_->setBrush(rainFill);
    rain_->setPen(QPen(kRainColor, 1));
    high_ = new QLineSeries(chart);
    low_ = new QLineSeries(chart);
    band_ = new QAreaSeries(high_, low_);
    QColor bandFill = kBandColor;
    bandFill.setAlpha(90);
    band_->setBrush(bandFill);
    band_->setPen(QPen(kBandColor.darker(130), 1));
    chart->addSeries(rain_);
    chart->addSeries(band_);
    rain_->attachAxis(timeAxis_);
    rain_->attachAxis(rainAxis_);
    band_->attachAxis(timeAxis_);
    band_->attachAxis(valueAxis_);

    setBackgroundBrush(Qt::white);
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    setRenderHint(QPainter::Antialiasing, false);
}

void SummaryChart::Show(const SummaryTable& table, int group) {
    int maxColumn = -1, minColumn = -1;
    for (int c = 0; c < table.ColumnCount(); ++c) {
        const SummaryTable::Column& col = table.ColumnAt(c);
        if (col.group != group || col.kind != SummaryTable::Kind::Value) continue;
        if (col.stat == SummaryTable::Stat::Max) maxColumn = c;
        if (col.stat == SummaryTable::Stat::Min) minColumn = c;
    }
    const int rainColumn = table.RainColumn();

    // Each period's span on the chart's clock, stepped: the band and the
    // bars are flat over their period.
    AxisTime clock;
    QList<QPointF> high, low, rain;
    double lo = 1e300, hi = -1e300, wettest = 0;
    double first = 0, last = 0;
    for (int r = 0; r < table.RowCount(); ++r) {
        const uint32_t start = PeriodStart(table.Period(), table.Periods()[r].start);
        const uint64_t end = PeriodEnd(table.Period(), start);
        const double s = clock.Msecs(StationTimeToOleDate(start));
        const double e = clock.Msecs(StationTimeToOleDate(static_cast<uint32_t>(end - 1))) + 1000;
        if (r == 0) first = s;
        last = e;
        if (maxColumn >= 0 && minColumn >= 0) {
            const double top = table.Number(r, maxColumn), bottom = table.Number(r, minColumn);
            if (!std::isnan(top) && !std::isnan(bottom)) {
                high << QPointF(s, top) << QPointF(e, top);
                low << QPointF(s, bottom) << QPointF(e, bottom);
                lo = std::min(lo, bottom);
                hi = std::max(hi, top);
            }
        }
        if (rainColumn >= 0) {
            const double mm = table.Number(r, rainColumn);
            if (std::isnan(mm)) continue;
            const double gap = (e - s) * 0.15;
            rain << QPointF(s + gap, 0) << QPointF(s + gap, mm) << QPointF(e - gap, mm)
                 << QPointF(e - gap, 0);
            wettest = std::max(wettest, mm);
        }
    }
    // The axis ranges first: a series takes its points faster into a chart
    // that need not rescale for each.
    if (first < last) {
        timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(first)),
                            QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(last)));
    }
    // Few periods, few ticks: a year's chart is not labelled 2023 five times.
    timeAxis_->setTickCount(std::clamp(table.RowCount() + 1, 2, 7));
    timeAxis_->setFormat(table.Period() == SummaryPeriod::Day     ? ShortDateFormat()
                         : table.Period() == SummaryPeriod::Month ? "yyyy-MM"
                                                                  : "yyyy");
    SetRange(valueAxis_, lo, hi, false);
    SetRange(rainAxis_, 0, wettest, true);
    high_->replace(high);
    low_->replace(low);
    rainTop_->replace(rain);

    QString bandName;
    if (maxColumn >= 0) {
        const SummaryTable::Column& col = table.ColumnAt(maxColumn);
        bandName = QString::fromStdString(HeaderRule(
            col.groupText + " " + text::Load(2054) + " / " + text::Load(2055), col.unit));
    }
    band_->setName(bandName);
    band_->setVisible(!high.isEmpty());
    valueAxis_->setVisible(!high.isEmpty());
    rain_->setName(rainColumn >= 0 ? QString::fromStdString(table.HeaderText(rainColumn))
                                   : QString());
    rain_->setVisible(!rain.isEmpty());
    rainAxis_->setVisible(!rain.isEmpty());
}

}  // namespace nimbary
