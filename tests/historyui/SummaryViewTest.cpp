#include <QAreaSeries>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLineSeries>
#include <QPushButton>
#include <QTableView>
#include <QTimeEdit>
#include <QValueAxis>
#include <cmath>

#include "BrowserFixture.h"
#include "CHistory.h"
#include "CannedSave.h"
#include "HistoryTableModel.h"
#include "PdfFont.h"
#include "PdfTableWriter.h"
#include "SummaryChart.h"
#include "SummaryTable.h"
#include "SummaryView.h"

using namespace nimbary;
using namespace nimbary::testing;

namespace {

constexpr uint32_t kDev = 0x51A7E001;

class SummaryViewTest : public BrowserFixture {
protected:
    CannedSave saves;

    // Two days of weather from 2024-03-31 00:00, five minutes apart.
    void SetUp() override {
        BrowserFixture::SetUp();
        ASSERT_EQ(SaveWeather(db, kDev, At(2024, 3, 31), 2 * 288), 0);
    }
    static void SetRange(CHistory& dlg, uint32_t from, uint32_t to) {
        for (auto [date, time, t] :
             {std::tuple{"idc_1008", "idc_1006", from}, std::tuple{"idc_1009", "idc_1007", to}}) {
            QDate d;
            QTime tm;
            OleDateToCalendar(StationTimeToOleDate(t), d, tm);
            dlg.findChild<QDateEdit*>(date)->setDate(d);
            dlg.findChild<QTimeEdit*>(time)->setTime(tm);
        }
    }
    static void Press(CHistory& dlg, const char* name) {
        dlg.findChild<QPushButton*>(name)->click();
    }
    static QStringList Column(const QTableView* list, int column) {
        QStringList out;
        for (int r = 0; r < list->model()->rowCount(); ++r)
            out << list->model()->index(r, column).data().toString();
        return out;
    }
    static QString Header(const QTableView* list, int column) {
        return list->model()->headerData(column, Qt::Horizontal).toString();
    }
};

}  // namespace

TEST_F(SummaryViewTest, TheSummaryButtonShowsTheRangeByDayMonthOrYear) {
    CHistory dlg(db, messages, saves, kDev);
    dlg.resize(1000, 700);
    dlg.show();
    SetRange(dlg, At(2024, 3, 31), At(2024, 4, 1, 23, 59, 59));
    Press(dlg, "summary");
    EXPECT_EQ(dlg.Mode(), VIEW_SUMMARY);
    EXPECT_TRUE(dlg.findChild<QPushButton*>("summary")->isChecked());
    EXPECT_FALSE(dlg.findChild<QWidget*>("idc_1003")->isVisibleTo(&dlg));
    EXPECT_FALSE(dlg.findChild<QWidget*>("idc_1002")->isVisibleTo(&dlg));
    EXPECT_FALSE(dlg.findChild<QWidget*>("idc_1158")->isEnabled());
    EXPECT_EQ(dlg.Summary().geometry(), QRect(10, 100, 980, 590));

    const QTableView* list = dlg.Summary().List();
    const struct {
        const char* button;
        QString header;
        QStringList periods;
    } cases[] = {
        {"summary_period1", "Month", {"2024-03", "2024-04"}},
        {"summary_period2", "Year", {"2024"}},
        {"summary_period0", "Day", {"2024-03-31", "2024-04-01"}},
    };
    for (const auto& c : cases) {
        Press(dlg, c.button);
        EXPECT_EQ(Header(list, 0), c.header);
        EXPECT_EQ(Column(list, 0), c.periods);
        EXPECT_EQ(Header(list, 3), "Coverage(%)");
        EXPECT_EQ(Column(list, 3), QStringList(c.periods.size(), "100.0"));
    }

    // The chart: Out Temp. chosen first, a band flat over each day between
    // its maximum and minimum, the rain of each day as a bar.
    const SummaryTable& table = dlg.Summary().Table();
    const SummaryChart* chart = dlg.Summary().Chart();
    EXPECT_EQ(dlg.Summary().Quantities()->currentText(), "Out Temp.");
    const QList<QPointF> high = chart->Band()->upperSeries()->points();
    const QList<QPointF> low = chart->Band()->lowerSeries()->points();
    ASSERT_EQ(high.size(), 4);
    ASSERT_EQ(low.size(), 4);
    int maxColumn = -1, minColumn = -1;
    for (int c = 0; c < table.ColumnCount(); ++c) {
        if (table.HeaderText(c) == "Out Temp. Max(°C)") maxColumn = c;
        if (table.HeaderText(c) == "Out Temp. Min(°C)") minColumn = c;
    }
    for (int day = 0; day < 2; ++day) {
        EXPECT_DOUBLE_EQ(high[2 * day].y(), table.Number(day, maxColumn));
        EXPECT_DOUBLE_EQ(low[2 * day + 1].y(), table.Number(day, minColumn));
        EXPECT_NEAR(high[2 * day + 1].x() - high[2 * day].x(), 86400e3, 1);
    }
    EXPECT_NEAR(table.Number(0, maxColumn), (50.0 + 15 - 32) / 1.8, 0.06);
    EXPECT_EQ(chart->Band()->name(), "Out Temp. Max / Min(°C)");
    EXPECT_EQ(chart->Rain()->upperSeries()->count(), 8);
    EXPECT_GE(chart->ValueAxis()->max(), table.Number(0, maxColumn));
    EXPECT_LE(chart->ValueAxis()->min(), table.Number(0, minColumn));

    // Another quantity of the table: its own band.
    dlg.Summary().Quantities()->setCurrentText("ABS Pressure");
    EXPECT_EQ(chart->Band()->name(), "ABS Pressure Max / Min(hpa)");
}

TEST_F(SummaryViewTest, UpdateInTheSummaryViewTakesTheRangeUnitsAndLanguageInForce) {
    CHistory dlg(db, messages, saves, kDev);
    SetRange(dlg, At(2024, 3, 31), At(2024, 4, 1, 23, 59, 59));
    dlg.SelectMode(VIEW_SUMMARY);
    const QTableView* list = dlg.Summary().List();
    ASSERT_EQ(list->model()->rowCount(), 2);

    SetUnits(MakeUnits(TEMP_F, BARO_INHG, WIND_KNOTS, RAIN_IN));
    text::SetLanguage(text::Language::Chinese);
    SetRange(dlg, At(2024, 4, 1), At(2024, 4, 1, 11, 59, 59));
    dlg.Update();
    ASSERT_EQ(list->model()->rowCount(), 1);
    EXPECT_EQ(Header(list, 0), "日");
    EXPECT_EQ(Column(list, 1), QStringList{"144"});  // the morning only
    EXPECT_EQ(Column(list, 2), QStringList{"144"});
    QStringList headers;
    for (int c = 0; c < list->model()->columnCount(); ++c) headers << Header(list, c);
    EXPECT_TRUE(headers.contains("室外温度 最大(°F)")) << headers.join("|").toStdString();
    EXPECT_TRUE(headers.contains("风速 最大(knots)"));

    // The browser's captions, its own included, follow the language too.
    CHistory zh(db, messages, saves, kDev);
    EXPECT_EQ(zh.findChild<QPushButton*>("summary")->text(), "汇总");
    EXPECT_EQ(zh.findChild<QPushButton*>("summary_period2")->text(), "年");
    // The records' list is not reloaded by the Summary view's Update.
    EXPECT_EQ(dlg.Table().RowCount(), 0);
}

TEST_F(SummaryViewTest, ExportInTheSummaryViewWritesTheSummaryTable) {
    CHistory dlg(db, messages, saves, kDev);
    SetRange(dlg, At(2024, 3, 31), At(2024, 4, 1, 23, 59, 59));
    dlg.SelectMode(VIEW_SUMMARY);
    saves.answer = QString::fromStdString(dir.File("summary.csv"));
    dlg.Export();
    QFile written(saves.answer);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    ASSERT_TRUE(bytes.startsWith("\xFF\xFE"));
    const QStringList lines =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2),
                           (bytes.size() - 2) / 2)
            .split("\r\n");
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].startsWith("Day\tRecords\tExpected\tCoverage(%)\tIn Temp. Min(°C)\t"));
    EXPECT_TRUE(lines[1].startsWith("2024-03-31\t288\t288\t100.0\t"));
    EXPECT_EQ(lines[1].split('\t').size(), dlg.Summary().Table().ColumnCount());

    // The PDF's columns are as wide as their widest cells: the day's name
    // is wider than its header "Day".
    saves.answer = QString::fromStdString(dir.File("summary.pdf"));
    dlg.Export();
    EXPECT_TRUE(QFile::exists(saves.answer));
    EXPECT_EQ(messages.texts,
              (std::vector<std::string>{"Successful export data!", "Successful export data!"}));
    PdfFont font(text::Language::English, {"2024-03-31"});
    const std::vector<double> widths =
        PdfTableWriter::ColumnWidths(dlg.Summary().Table(), font, SampleTimeText());
    EXPECT_NEAR(widths[0], font.Width("2024-03-31") + 16, 0.01);
}

TEST_F(SummaryViewTest, ADatabaseErrorLeavesTheSummaryAsItWas) {
    CHistory dlg(db, messages, saves, kDev);
    SetRange(dlg, At(2024, 3, 31), At(2024, 4, 1, 23, 59, 59));
    dlg.SelectMode(VIEW_SUMMARY);
    ASSERT_EQ(dlg.Summary().Table().RowCount(), 2);
    db.Close();
    dlg.Update();
    EXPECT_FALSE(messages.texts.empty());
    EXPECT_EQ(dlg.Summary().Table().RowCount(), 2);
}
