#include "SummaryView.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "HistoryTableModel.h"
#include "HistoryUiText.h"
#include "SummaryChart.h"
#include "SummaryTable.h"
#include "Units.h"

namespace nimbary {

namespace {

const int kPeriodIds[3] = {2011, 2013, 2200};  // Day, Month, Year

std::shared_ptr<const SummaryTable> EmptySummary(SummaryPeriod period) {
    return std::make_shared<SummaryTable>(period, std::vector<PeriodSummary>{}, Units());
}

}  // namespace

SummaryView::SummaryView(QWidget* parent)
    : QWidget(parent), table_(EmptySummary(SummaryPeriod::Day)) {
    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(0, 0, 0, 0);
    periods_ = new QButtonGroup(this);
    periods_->setExclusive(true);
    for (int p = 0; p < 3; ++p) {
        auto* b = new QPushButton(this);
        b->setObjectName(QString("summary_period%1").arg(p));
        b->setCheckable(true);
        b->setAutoDefault(false);
        b->setMinimumWidth(80);
        periods_->addButton(b, p);
        periodButtons_[p] = b;
        bar->addWidget(b);
    }
    periodButtons_[0]->setChecked(true);
    bar->addSpacing(20);
    chartLabel_ = new QLabel(this);
    quantity_ = new QComboBox(this);
    quantity_->setObjectName("summary_chart_quantity");
    quantity_->setMinimumWidth(160);
    bar->addWidget(chartLabel_);
    bar->addWidget(quantity_);
    bar->addStretch(1);

    split_ = new QSplitter(Qt::Vertical, this);
    list_ = new QTableView(split_);
    list_->setObjectName("summary_list");
    model_ = new HistoryTableModel(table_, this);
    list_->setModel(model_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setWordWrap(false);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 6);
    list_->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    list_->horizontalHeader()->setHighlightSections(false);
    chart_ = new SummaryChart(split_);
    chart_->setObjectName("summary_chart");
    split_->addWidget(list_);
    split_->addWidget(chart_);
    split_->setStretchFactor(0, 1);
    split_->setStretchFactor(1, 1);
    split_->setChildrenCollapsible(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(bar);
    layout->addWidget(split_, 1);

    connect(periods_, &QButtonGroup::idClicked, this, [this](int id) {
        const auto period = static_cast<SummaryPeriod>(id);
        if (period == period_) return;
        period_ = period;
        emit periodChosen(period);
    });
    connect(quantity_, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this](int) { DrawChart(); });
    LoadCaptions();
    Show(table_);
}

void SummaryView::LoadCaptions() {
    for (int p = 0; p < 3; ++p) periodButtons_[p]->setText(Text(kPeriodIds[p]));
    chartLabel_->setText(Text(2058));
}

void SummaryView::Show(std::shared_ptr<const SummaryTable> table) {
    table_ = std::move(table);
    list_->setUpdatesEnabled(false);
    model_->SetTable(table_);
    // As wide as the header or the first and last rows' texts: a column's
    // cells are alike, and measuring each would cost more than the summary.
    const QFontMetrics fm = list_->fontMetrics();
    const int rows = table_->RowCount();
    for (int c = 0; c < table_->ColumnCount(); ++c) {
        int w = fm.horizontalAdvance(QString::fromStdString(table_->HeaderText(c)));
        for (int r : {0, rows - 1})
            if (rows > 0)
                w = std::max(w,
                             fm.horizontalAdvance(QString::fromStdString(table_->CellText(r, c))));
        list_->horizontalHeader()->resizeSection(c, w + 12);
    }
    list_->setUpdatesEnabled(true);
    RebuildQuantities();
    DrawChart();
}

void SummaryView::RebuildQuantities() {
    const QSignalBlocker quiet(quantity_);
    const QString remembered = quantity_->currentText();
    quantity_->clear();
    // The quantities with a maximum and a minimum, each by its group.
    int outdoor = -1;
    for (int c = 0; c < table_->ColumnCount(); ++c) {
        const SummaryTable::Column& col = table_->ColumnAt(c);
        if (col.stat != SummaryTable::Stat::Min || col.kind != SummaryTable::Kind::Value) continue;
        if (col.field == kOutdoorTemperatureField) outdoor = quantity_->count();
        quantity_->addItem(QString::fromStdString(col.groupText), col.group);
    }
    int index = quantity_->findText(remembered);
    if (index < 0) index = outdoor >= 0 ? outdoor : 0;
    quantity_->setCurrentIndex(quantity_->count() ? index : -1);
}

void SummaryView::DrawChart() {
    const int index = quantity_->currentIndex();
    chart_->Show(*table_, index < 0 ? -1 : quantity_->itemData(index).toInt());
}

}  // namespace nimbary
