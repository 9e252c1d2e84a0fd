#include "CTchart1.h"

#include <QDateTimeAxis>
#include <QGraphicsLayout>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QToolTip>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "RecordTime.h"

namespace nimbary {

namespace {

const QColor kSeriesColors[kChartSeries] = {{128, 64, 64}, {0, 128, 0},  {255, 128, 64},
                                            {0, 0, 255},   {64, 0, 128}, {128, 128, 128},
                                            {255, 0, 255}, {0, 64, 64},  {128, 128, 64}};

QString MarkerLabel(const QString& title, bool shown) {
    return (shown ? QStringLiteral("\u2611 ") : QStringLiteral("\u2610 ")) + title;
}

}  // namespace

// The chart is given at construction: a view made without one makes its own,
// and setChart() would then leave that one to nobody.
CTchart1::CTchart1(QWidget* parent) : QChartView(new QChart(), parent) {
    QChart* chart = this->chart();
    chart->setBackgroundBrush(Qt::white);
    chart->setBackgroundPen(Qt::NoPen);
    chart->setBackgroundRoundness(0);
    chart->setDropShadowEnabled(false);
    chart->setMargins(QMargins(4, 4, 4, 4));
    QLegend* legend = chart->legend();
    legend->setAlignment(Qt::AlignTop);
    legend->setBackgroundVisible(false);
    legend->setShowToolTips(true);

    timeAxis_ = new QDateTimeAxis(chart);
    valueAxis_ = new QValueAxis(chart);
    chart->addAxis(timeAxis_, Qt::AlignBottom);
    chart->addAxis(valueAxis_, Qt::AlignLeft);
    for (int i = 0; i < kChartSeries; ++i) {
        auto* s = new QLineSeries(chart);
        s->setPen(QPen(kSeriesColors[i], 1));
        s->setPointsVisible(false);
        chart->addSeries(s);
        s->attachAxis(timeAxis_);
        s->attachAxis(valueAxis_);
        series_[i] = s;
        connect(s, &QLineSeries::hovered, this, [this, i](const QPointF& p, bool on) {
            if (on)
                QToolTip::showText(QCursor::pos(), TipText(i, p.x()), this);
            else
                QToolTip::hideText();
        });
        QLegendMarker* marker = legend->markers(s).value(0);
        if (marker) connect(marker, &QLegendMarker::clicked, this, [this, i] { ToggleSeries(i); });
    }
    setBackgroundBrush(Qt::white);
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    setRubberBand(QChartView::HorizontalRubberBand);

    refill_.setSingleShot(true);
    refill_.setInterval(0);
    connect(&refill_, &QTimer::timeout, this, &CTchart1::RefillForAxis);
    connect(timeAxis_, &QDateTimeAxis::rangeChanged, this, [this] {
        if (reducible_ && !showing_) refill_.start();
    });
}

void CTchart1::Show(std::shared_ptr<const HistoryTable> table, Graph graph, double from,
                    double to) {
    showing_ = true;
    refill_.stop();
    // The old points go before the new are made: a long history is held once.
    data_ = ChartData();
    for (QLineSeries* s : series_)
        if (s->count()) s->clear();
    table_ = std::move(table);
    data_ = ChartData::Build(*table_, graph, table_->Units(), kBuckets);
    reducible_ = data_.reduced;
    setUpdatesEnabled(false);
    QChart* c = chart();
    if (c->isZoomed()) c->zoomReset();

    // Ranges, titles and legend first, and the layout settled, so that the
    // points are mapped once, into the plot area they end up in.
    double first = from, last = to;
    if (data_.hasPoints) {
        first = kOleEnd;
        last = kOleMin;
        for (const ChartSeries& series : data_.series) {
            if (series.x.empty()) continue;
            first = std::min(first, series.x.front());
            last = std::max(last, series.x.back());
        }
    }
    if (last <= first) last = first + 1.0 / 24;  // one point: an hour's span
    AxisTime axis;
    timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(std::llround(axis.Msecs(first))),
                        QDateTime::fromMSecsSinceEpoch(std::llround(axis.Msecs(last))));
    // Ticks rarely fall on midnight: a date alone would name the wrong moment,
    // except over a range so long that hours no longer matter.
    timeAxis_->setFormat(last - first > 60 ? ShortDateFormat()
                                           : ShortDateFormat() + QStringLiteral("<br>HH:mm"));
    timeAxis_->setTickCount(5);
    valueAxis_->setRange(data_.min, data_.max);

    for (int i = 0; i < kChartSeries; ++i) {
        const bool shown = data_.hasPoints ? data_.series[i].Count() > 0 : i == 0;
        series_[i]->setName(QString::fromStdString(data_.series[i].title));
        series_[i]->setVisible(shown);
        if (QLegendMarker* m = c->legend()->markers(series_[i]).value(0)) m->setVisible(shown);
        UpdateMarker(i);
    }
    if (c->layout()) c->layout()->activate();
    PutPoints();
    setUpdatesEnabled(true);
    viewport()->update();
    showing_ = false;
}

void CTchart1::PutPoints() {
    AxisTime axis;
    for (int i = 0; i < kChartSeries; ++i) {
        const ChartSeries& s = data_.series[i];
        if (s.x.empty()) {
            if (series_[i]->count()) series_[i]->clear();
            continue;
        }
        QList<QPointF> points;
        points.reserve(s.Count());
        for (int k = 0; k < s.Count(); ++k) points.append(QPointF(axis.Msecs(s.x[k]), s.y[k]));
        series_[i]->replace(points);
    }
}

void CTchart1::RefillForAxis() {
    if (!table_ || table_->RowCount() == 0) return;
    const double from = AxisTime::OleDate(timeAxis_->min().toMSecsSinceEpoch());
    const double to = AxisTime::OleDate(timeAxis_->max().toMSecsSinceEpoch());
    // A minute either side, so the line runs on to the plot's edges.
    data_.Refill(*table_, from - 1.0 / 1440, to + 1.0 / 1440, kBuckets);
    PutPoints();
}

void CTchart1::ToggleSeries(int index) {
    QLineSeries* s = series_[index];
    s->setVisible(!s->isVisible());
    // Hiding a series hides its legend entry too; the entry stays, as the
    // box to show the series again.
    if (QLegendMarker* m = chart()->legend()->markers(s).value(0)) m->setVisible(true);
    UpdateMarker(index);
}

void CTchart1::UpdateMarker(int index) {
    QLegendMarker* m = chart()->legend()->markers(series_[index]).value(0);
    if (!m) return;
    const bool shown = series_[index]->isVisible();
    m->setLabel(MarkerLabel(series_[index]->name(), shown));
    QColor label = m->labelBrush().color();
    label.setAlpha(shown ? 255 : 110);
    m->setLabelBrush(label);
}

QString CTchart1::TipText(int index, double msecs) const {
    if (!table_ || data_.series[index].x.empty()) return {};
    const int column = SeriesColumn(data_.graph, index);
    const int row = NearestPlottedRow(*table_, column, AxisTime::OleDate(msecs));
    if (row < 0) return {};
    const double value = ChartValue(data_.graph, table_->Value(row, column), data_.units);
    return QString::fromStdString(data_.series[index].title) + '\n' +
           QString::fromStdString(RecordTimeText(table_->RecTime(row))) + "   " +
           QString::fromStdString(ChartValueText(data_.graph, value, data_.units));
}

void CTchart1::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        chart()->zoomReset();
        event->accept();
        return;
    }
    QChartView::mouseReleaseEvent(event);
}

}  // namespace nimbary
