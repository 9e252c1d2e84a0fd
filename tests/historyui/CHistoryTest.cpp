#include <sqlite3.h>

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTimeAxis>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>
#include <QValueAxis>
#include <thread>

#include "BrowserFixture.h"
#include "CHistory.h"
#include "CTchart1.h"
#include "CannedSave.h"
#include "CountingSource.h"
#include "HistoryTableModel.h"
#include "HistoryUiText.h"
#include "PdfFont.h"
#include "PdfTableWriter.h"
#include "RecordTime.h"
#include "WorkProgressDialog.h"

using namespace nimbary;
using namespace nimbary::testing;

namespace {

constexpr uint32_t kDev = 0x89025CC1;

class CHistoryTest : public BrowserFixture {
protected:
    CannedSave saves;

    template <class T>
    static T* Find(const CHistory& dlg, int id) {
        T* w = dlg.findChild<T*>(QString("idc_%1").arg(id));
        EXPECT_TRUE(w) << id;
        return w;
    }
    static void SetRange(CHistory& dlg, const QDateTime& from, const QDateTime& to) {
        Find<QDateEdit>(dlg, 1008)->setDate(from.date());
        Find<QTimeEdit>(dlg, 1006)->setTime(from.time());
        Find<QDateEdit>(dlg, 1009)->setDate(to.date());
        Find<QTimeEdit>(dlg, 1007)->setTime(to.time());
    }
    static QDateTime Time(uint32_t stationSeconds) {
        QDate d;
        QTime t;
        OleDateToCalendar(StationTimeToOleDate(stationSeconds), d, t);
        return QDateTime(d, t);
    }
    static QStringList Items(QComboBox* box) {
        QStringList out;
        for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
        return out;
    }
    static void Press(CHistory& dlg, int id) { Find<QPushButton>(dlg, id)->click(); }

    // A day of weather records from 2024-03-05 00:00, five minutes apart.
    void StoreDay(uint32_t devId = kDev) {
        ASSERT_EQ(SaveWeather(db, devId, At(2024, 3, 5), 288), 0);
    }
};

}  // namespace

TEST_F(CHistoryTest, OpensWithTwoColumnsTemperatureAndAnEmptyChart) {
    StoreDay();
    const QDateTime before = QDateTime::currentDateTime();
    CHistory dlg(db, messages, saves, kDev);
    EXPECT_EQ(dlg.windowTitle(), "History");
    EXPECT_EQ(dlg.Mode(), VIEW_LIST_CHART);
    EXPECT_TRUE(Find<QPushButton>(dlg, 1014)->isChecked());
    EXPECT_EQ(dlg.SplitterX(), dlg.width() / 2);
    EXPECT_EQ(dlg.SplitterY(), (dlg.height() - 100) / 2 + 100);

    const QDateTime end(Find<QDateEdit>(dlg, 1009)->date(), Find<QTimeEdit>(dlg, 1007)->time());
    const QDateTime start(Find<QDateEdit>(dlg, 1008)->date(), Find<QTimeEdit>(dlg, 1006)->time());
    EXPECT_LE(std::abs(before.secsTo(end)), 2);
    EXPECT_EQ(start.secsTo(end), 86400);

    auto* list = Find<QTableView>(dlg, 1003);
    ASSERT_EQ(list->model()->columnCount(), 2);
    EXPECT_EQ(list->model()->rowCount(), 0);
    EXPECT_EQ(list->model()->headerData(0, Qt::Horizontal).toString(), "No.");
    EXPECT_EQ(list->model()->headerData(1, Qt::Horizontal).toString(), "Time");
    EXPECT_EQ(list->horizontalHeader()->sectionSize(0), 50);
    EXPECT_EQ(list->horizontalHeader()->sectionSize(1),
              list->fontMetrics().horizontalAdvance("2016-12-28 22:58:58") + 8);
    EXPECT_EQ(Items(Find<QComboBox>(dlg, 1158)), QStringList{"Temperature"});
    EXPECT_EQ(Find<QComboBox>(dlg, 1159)->currentText(), "89025CC1");

    CTchart1& chart = dlg.Chart();
    EXPECT_TRUE(chart.Series(0)->isVisible());
    EXPECT_EQ(chart.Series(0)->name(), "In Temp.(°C)");
    EXPECT_EQ(chart.Series(0)->count(), 0);
    for (int i = 1; i < kChartSeries; ++i) EXPECT_FALSE(chart.Series(i)->isVisible()) << i;
    EXPECT_EQ(chart.ValueAxis()->min(), 20.0);
    EXPECT_EQ(chart.ValueAxis()->max(), 50.0);
    EXPECT_TRUE(chart.chart()->title().isEmpty());
    EXPECT_EQ(chart.chart()->legend()->alignment(), Qt::AlignTop);
    EXPECT_FALSE(dlg.findChild<QWidget*>("idc_1001")->isVisibleTo(&dlg));
}

TEST_F(CHistoryTest, CaptionsInBothLanguages) {
    struct Case {
        text::Language lang;
        QStringList texts;  // caption, 1004, 1005, 1157, 1160, 1010-1015, 2
    };
    const Case cases[] = {
        {text::Language::English,
         {"History", "&Start Time", "&End Time", "&ID", "&Chart", "Update", "Export", "List",
          "Chart", "List | Chart", "Chart / List", "Exit"}},
        {text::Language::Chinese,
         {"历史", "开始时间(&S)", "结束时间(&E)", "&ID", "图表(&C)", "更新", "导出", "列表", "图表",
          "列表 | 图表", "图表 / 列表", "退出"}},
    };
    for (const Case& c : cases) {
        text::SetLanguage(c.lang);
        CHistory dlg(db, messages, saves, 0);
        QStringList got = {dlg.windowTitle()};
        for (int id : {1004, 1005, 1157, 1160}) got << Find<QLabel>(dlg, id)->text();
        for (int id : {1010, 1011, 1012, 1013, 1014, 1015, 2})
            got << Find<QPushButton>(dlg, id)->text();
        EXPECT_EQ(got, c.texts);
    }
}

TEST_F(CHistoryTest, StationListSelectsTheCurrentStationOrTheFirst) {
    for (uint32_t dev : {0x80000001u, 0x00000007u, kDev})
        ASSERT_EQ(SaveWeather(db, dev, 1000, 1), 0);
    // In the database's order (here its index's, by the signed value).
    const QStringList all = {"80000001", "89025CC1", "00000007"};
    CHistory current(db, messages, saves, 0x00000007);
    EXPECT_EQ(Items(Find<QComboBox>(current, 1159)), all);
    EXPECT_EQ(Find<QComboBox>(current, 1159)->currentIndex(), 2);
    CHistory unknown(db, messages, saves, 0x12345678);
    EXPECT_EQ(Find<QComboBox>(unknown, 1159)->currentIndex(), 0);
}

TEST(StationId, HexDigitsUpToTheFirstOther) {
    struct Case {
        const char* text;
        uint32_t id;
    };
    const Case cases[] = {{"89025CC1", 0x89025CC1},
                          {"80000001", 0x80000001},
                          {"12G4", 0x12},
                          {"", 0},
                          {"zz", 0},
                          {" 12", 0},
                          {"abcdef", 0xABCDEF},
                          {"FFFFFFFFFF", 0xFFFFFFFF}};
    for (const Case& c : cases) EXPECT_EQ(ParseStationId(c.text), c.id) << c.text;
}

// Both ends are included, and an end before the start loads the same.
TEST_F(CHistoryTest, UpdateLoadsTheRangeEitherWayRound) {
    StoreDay();
    CHistory dlg(db, messages, saves, kDev);
    const QDateTime from = Time(At(2024, 3, 5, 1)), to = Time(At(2024, 3, 5, 2));
    SetRange(dlg, from, to);
    Press(dlg, 1010);
    ASSERT_EQ(dlg.Table().RowCount(), 13);  // 01:00 to 02:00, every five minutes
    EXPECT_EQ(dlg.Table().CellText(0, 1), "2024-03-05 01:00:00");
    EXPECT_EQ(dlg.Table().CellText(12, 1), "2024-03-05 02:00:00");
    EXPECT_EQ(dlg.Table().DevId(), kDev);

    SetRange(dlg, to, from);
    Press(dlg, 1010);
    EXPECT_EQ(dlg.Table().RowCount(), 13);
    EXPECT_EQ(Find<QDateEdit>(dlg, 1008)->date(), to.date());  // the pickers keep the user's order
    EXPECT_EQ(Find<QTimeEdit>(dlg, 1006)->time(), to.time());

    SetRange(dlg, from, from);  // a range of no length: the one record at that second
    Press(dlg, 1010);
    EXPECT_EQ(dlg.Table().RowCount(), 1);
    EXPECT_TRUE(messages.texts.empty());
}

TEST_F(CHistoryTest, F5UpdatesCtrlEExportsAndAltWithAKeyReachesItsControl) {
    StoreDay();
    CHistory dlg(db, messages, saves, kDev);
    SetRange(dlg, Time(At(2024, 3, 5, 1)), Time(At(2024, 3, 5, 2)));
    auto asked = [&] { return saves.asked.size(); };
    dlg.show();
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    // A button's shortcut clicks it as the mouse would, pressed for a moment.
    QTest::keyClick(&dlg, Qt::Key_E, Qt::ControlModifier);
    QTest::qWait(300);
    EXPECT_EQ(asked(), 0u);  // nothing shown yet, nothing to export
    QTest::keyClick(&dlg, Qt::Key_F5);
    EXPECT_TRUE(QTest::qWaitFor([&] { return dlg.Table().RowCount() == 13; }));
    QTest::keyClick(&dlg, Qt::Key_E, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return asked() == 1; }));

    for (const auto& [key, id] :
         {std::pair{Qt::Key_E, 1009}, {Qt::Key_I, 1159}, {Qt::Key_S, 1008}}) {
        QTest::keyClick(&dlg, key, Qt::AltModifier);
        QWidget* control = Find<QWidget>(dlg, id);
        QWidget* focus = QApplication::focusWidget();
        EXPECT_TRUE(focus == control || control->isAncestorOf(focus)) << id;
    }
}

TEST_F(CHistoryTest, ARangeWithoutRecordsShowsNumberAndTimeOnly) {
    StoreDay();
    CHistory dlg(db, messages, saves, kDev);
    for (auto [from, to] : {std::pair{Time(At(2024, 3, 7)), Time(At(2024, 3, 8))},
                            std::pair{QDateTime(QDate(1800, 1, 1), QTime(0, 0)),
                                      QDateTime(QDate(1800, 1, 2), QTime(0, 0))},
                            std::pair{QDateTime(QDate(9999, 1, 1), QTime(0, 0)),
                                      QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59))}}) {
        SetRange(dlg, Time(At(2024, 3, 5)), Time(At(2024, 3, 6)));
        Press(dlg, 1010);
        ASSERT_GT(dlg.Table().ColumnCount(), 2);
        SetRange(dlg, from, to);
        Press(dlg, 1010);
        EXPECT_EQ(dlg.Model().columnCount(), 2);
        EXPECT_EQ(dlg.Model().rowCount(), 0);
        EXPECT_EQ(Items(Find<QComboBox>(dlg, 1158)), QStringList{"Temperature"});
        EXPECT_EQ(dlg.Chart().Series(0)->count(), 0);
        EXPECT_TRUE(dlg.Chart().Series(0)->isVisible());
        EXPECT_EQ(dlg.Chart().ValueAxis()->min(), 20.0);
        EXPECT_EQ(dlg.Chart().ValueAxis()->max(), 50.0);
    }
    EXPECT_TRUE(messages.texts.empty());
}

TEST_F(CHistoryTest, GraphListRemembersItsIndexAndPlotsWhatItNames) {
    StoreDay();
    std::vector<HistoryRecord> dry;  // a station without humidity
    for (int i = 0; i < 5; ++i) {
        HistoryRecord r = WeatherRecord(7, At(2024, 3, 5) + 300 * i, i);
        r.InHumi = r.ChHumi[0] = VAL_ABSENT;
        dry.push_back(r);
    }
    ASSERT_EQ(SaveAll(db, 7, dry), 0);
    CHistory dlg(db, messages, saves, kDev);
    SetRange(dlg, Time(At(2024, 3, 5)), Time(At(2024, 3, 6)));
    Press(dlg, 1010);
    auto* graphs = Find<QComboBox>(dlg, 1158);
    EXPECT_EQ(Items(graphs),
              (QStringList{"Temperature", "Humidity", "Pressure", "Wind", "Rainfall"}));
    graphs->setCurrentIndex(2);
    EXPECT_EQ(dlg.Chart().Series(0)->name(), "Absolute Pressure(hpa)");
    EXPECT_EQ(dlg.Chart().Series(0)->count(), 288);

    auto* ids = Find<QComboBox>(dlg, 1159);
    ids->setCurrentIndex(ids->findText("00000007"));
    Press(dlg, 1010);
    EXPECT_EQ(Items(graphs), (QStringList{"Temperature", "Pressure", "Wind", "Rainfall"}));
    // The index is what is remembered: 2 now names Wind.
    EXPECT_EQ(graphs->currentIndex(), 2);
    EXPECT_EQ(dlg.Chart().Series(0)->name(), "Wind(m/s)");
    EXPECT_EQ(dlg.Chart().Series(0)->count(), 5);
    graphs->setCurrentIndex(1);
    EXPECT_EQ(dlg.Chart().Series(1)->name(), "Relative Pressure(hpa)");

    graphs->setCurrentIndex(3);
    SetRange(dlg, Time(At(2025, 1, 1)), Time(At(2025, 1, 2)));
    Press(dlg, 1010);
    EXPECT_EQ(graphs->currentIndex(), 0);  // beyond the one item left
}

// The series of the chart after Update: every record a point, ascending,
// the series without data hidden and out of the legend.
TEST_F(CHistoryTest, ChartShowsTheSelectedGroup) {
    StoreDay();
    CHistory dlg(db, messages, saves, kDev);
    SetRange(dlg, Time(At(2024, 3, 5)), Time(At(2024, 3, 6)));
    Press(dlg, 1010);
    CTchart1& chart = dlg.Chart();
    const QLineSeries* in = chart.Series(0);
    ASSERT_EQ(in->count(), 288);
    EXPECT_EQ(chart.Data().series[0].x.front(), dlg.Table().RecTime(0));
    EXPECT_DOUBLE_EQ(in->at(0).y(), (WeatherRecord(kDev, 0, 0).InTemp - 32) / 1.8);
    EXPECT_LT(in->at(0).x(), in->at(287).x());
    EXPECT_EQ(in->at(287).x() - in->at(0).x(), 287 * 300000.0);
    // The axis shows local time: each record's own clock reading, to the ms.
    for (int k : {0, 1, 287})
        EXPECT_EQ(QDateTime::fromMSecsSinceEpoch(qint64(in->at(k).x())),
                  QDateTime(QDate(2024, 3, 5), QTime(0, 0)).addSecs(300 * k));
    EXPECT_EQ(chart.Series(1)->count(), 288);
    EXPECT_EQ(chart.Series(1)->name(), "Out Temp.(°C)");
    EXPECT_EQ(chart.Series(1)->pen().color(), QColor(0, 128, 0));
    EXPECT_EQ(chart.Series(8)->pen().color(), QColor(128, 128, 64));
    for (int i = 2; i < kChartSeries; ++i) {
        EXPECT_FALSE(chart.Series(i)->isVisible()) << i;
        EXPECT_FALSE(chart.chart()->legend()->markers(chart.Series(i))[0]->isVisible()) << i;
    }
    EXPECT_EQ(chart.ValueAxis()->max(), chart.Data().max);
    EXPECT_EQ(chart.ValueAxis()->min(), chart.Data().min);
    EXPECT_EQ(chart.TimeAxis()->min().toMSecsSinceEpoch(), qint64(in->at(0).x()));

    // The legend entry switches its series off and on and stays.
    QLegendMarker* marker = chart.chart()->legend()->markers(chart.Series(1))[0];
    emit marker->clicked();
    EXPECT_FALSE(chart.Series(1)->isVisible());
    EXPECT_TRUE(marker->isVisible());
    emit marker->clicked();
    EXPECT_TRUE(chart.Series(1)->isVisible());
}

TEST_F(CHistoryTest, HeadersCellsAndChartFollowTheUnitsInForce) {
    StoreDay();
    CHistory dlg(db, messages, saves, kDev);
    SetRange(dlg, Time(At(2024, 3, 5)), Time(At(2024, 3, 6)));
    SetUnits(MakeUnits(1, 1, 4, 1));
    Press(dlg, 1010);
    const HistoryRecord first = WeatherRecord(kDev, 0, 0);
    EXPECT_EQ(dlg.Model().headerData(2, Qt::Horizontal).toString(), "In Temp.(°F)");
    EXPECT_EQ(dlg.Model().data(dlg.Model().index(0, 2)).toString(), "70.0");
    EXPECT_EQ(dlg.Model().data(dlg.Model().index(0, 2), Qt::TextAlignmentRole).toInt(),
              int(Qt::AlignCenter));
    auto* graphs = Find<QComboBox>(dlg, 1158);
    graphs->setCurrentIndex(graphs->findText("Pressure"));
    EXPECT_EQ(dlg.Chart().Series(0)->name(), "Absolute Pressure(inHg)");
    EXPECT_DOUBLE_EQ(dlg.Chart().Series(0)->at(0).y(), first.AbsBaro / 33.8638866667);

    // Units changing later (the poll sets them every second) leave the
    // loaded table as it was built, and the chart drawn again with it.
    SetUnits(UnitSet{});
    EXPECT_EQ(dlg.Model().data(dlg.Model().index(0, 2)).toString(), "70.0");
    graphs->setCurrentIndex(graphs->findText("Temperature"));
    EXPECT_EQ(dlg.Chart().Series(0)->name(), "In Temp.(°F)");
    EXPECT_DOUBLE_EQ(dlg.Chart().Series(0)->at(0).y(), first.InTemp);
    graphs->setCurrentIndex(graphs->findText("Pressure"));
    EXPECT_EQ(dlg.Chart().Series(0)->name(), "Absolute Pressure(inHg)");
    EXPECT_DOUBLE_EQ(dlg.Chart().Series(0)->at(0).y(), first.AbsBaro / 33.8638866667);
    Press(dlg, 1010);
    EXPECT_EQ(dlg.Model().data(dlg.Model().index(0, 2)).toString(), "21.1");
}

TEST_F(CHistoryTest, ViewModesPlaceListChartAndSplitter) {
    CHistory dlg(db, messages, saves, 0);
    dlg.resize(1000, 700);
    dlg.show();
    auto* list = Find<QTableView>(dlg, 1003);
    auto* chart = Find<CTchart1>(dlg, 1002);
    auto* bar = dlg.findChild<QWidget*>("idc_1000");
    const int sx = dlg.SplitterX(), sy = dlg.SplitterY();
    struct Case {
        int mode;
        QRect list, chart, bar;  // null: hidden
    };
    const Case cases[] = {
        {VIEW_CHART, {}, QRect(10, 100, 980, 590), {}},
        {VIEW_LIST, QRect(10, 100, 980, 590), {}, {}},
        {VIEW_LIST_CHART, QRect(10, 100, sx - 9, 590), QRect(sx + 7, 100, 983 - sx, 590),
         QRect(sx, 100, 8, 590)},
        {VIEW_CHART_LIST, QRect(10, sy + 7, 980, 683 - sy), QRect(10, 100, 980, sy - 99),
         QRect(10, sy, 980, 8)},
    };
    for (const Case& c : cases) {
        Press(dlg, 1012 + c.mode);
        EXPECT_EQ(dlg.Mode(), c.mode);
        for (int m = 0; m < 4; ++m)
            EXPECT_EQ(Find<QPushButton>(dlg, 1012 + m)->isChecked(), m == c.mode) << m;
        EXPECT_EQ(list->isVisibleTo(&dlg), !c.list.isNull()) << c.mode;
        EXPECT_EQ(chart->isVisibleTo(&dlg), !c.chart.isNull()) << c.mode;
        EXPECT_EQ(bar->isVisibleTo(&dlg), !c.bar.isNull()) << c.mode;
        if (!c.list.isNull()) {
            EXPECT_EQ(list->geometry(), c.list) << c.mode;
        }
        if (!c.chart.isNull()) {
            EXPECT_EQ(chart->geometry(), c.chart) << c.mode;
        }
        if (!c.bar.isNull()) {
            EXPECT_EQ(bar->geometry(), c.bar) << c.mode;
        }
    }
    Press(dlg, 1015);  // the mode in force: nothing changes
    EXPECT_EQ(dlg.Mode(), VIEW_CHART_LIST);
    EXPECT_TRUE(Find<QPushButton>(dlg, 1015)->isChecked());
    dlg.resize(900, 600);  // a size change lays out again
    EXPECT_EQ(list->geometry(), QRect(10, sy + 7, 880, 583 - sy));
}

// Dragging stops 200 pixels inside either side of the working area (150
// for the horizontal bar); the feedback bar shows only while dragging.
TEST_F(CHistoryTest, SplitterDragStopsAtItsMargins) {
    CHistory dlg(db, messages, saves, 0);
    dlg.resize(1000, 700);
    dlg.show();
    auto* bar = dlg.findChild<QWidget*>("idc_1000");
    auto* feedback = dlg.findChild<QWidget*>("idc_1001");
    struct Case {
        int mode, to;  // mouse x (mode 2) or y (mode 3) dragged to
        int expected;
    };
    const Case cases[] = {
        {VIEW_LIST_CHART, 20, 210}, {VIEW_LIST_CHART, 2000, 790}, {VIEW_LIST_CHART, 404, 400},
        {VIEW_CHART_LIST, 0, 250},  {VIEW_CHART_LIST, 900, 540},  {VIEW_CHART_LIST, 304, 300},
    };
    for (const Case& c : cases) {
        dlg.SelectMode(c.mode);
        const bool horizontal = c.mode == VIEW_LIST_CHART;
        const QPoint grip = bar->geometry().center();
        QTest::mousePress(&dlg, Qt::LeftButton, Qt::NoModifier, grip);
        ASSERT_TRUE(dlg.Dragging());
        EXPECT_TRUE(feedback->isVisible());
        EXPECT_EQ(QApplication::overrideCursor()->shape(),
                  horizontal ? Qt::SizeHorCursor : Qt::SizeVerCursor);
        const QPoint to = horizontal ? QPoint(c.to, grip.y()) : QPoint(grip.x(), c.to);
        QMouseEvent move(QEvent::MouseMove, to, dlg.mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(&dlg, &move);
        EXPECT_EQ(horizontal ? feedback->x() : feedback->y(), c.expected);
        EXPECT_EQ(horizontal ? dlg.SplitterX() : dlg.SplitterY(), c.expected);
        QTest::mouseRelease(&dlg, Qt::LeftButton, Qt::NoModifier, to);
        EXPECT_FALSE(dlg.Dragging());
        EXPECT_FALSE(feedback->isVisible());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(horizontal ? bar->x() : bar->y(), c.expected);
    }
    // Outside the bar, or in a mode without one, a press starts nothing.
    QTest::mousePress(&dlg, Qt::LeftButton, Qt::NoModifier, QPoint(500, 50));
    EXPECT_FALSE(dlg.Dragging());
    QTest::mouseRelease(&dlg, Qt::LeftButton, Qt::NoModifier, QPoint(500, 50));
    dlg.SelectMode(VIEW_LIST);
    QTest::mousePress(&dlg, Qt::LeftButton, Qt::NoModifier, bar->geometry().center());
    EXPECT_FALSE(dlg.Dragging());
    QTest::mouseRelease(&dlg, Qt::LeftButton, Qt::NoModifier, bar->geometry().center());
}

// A window made smaller keeps the splitter inside, within its margins, in
// either mode: the bar can still be grabbed and the chart keeps its room.
TEST_F(CHistoryTest, TheSplitterStaysInsideAWindowMadeSmaller) {
    CHistory dlg(db, messages, saves, 0);
    dlg.show();
    auto* bar = dlg.findChild<QWidget*>("idc_1000");
    auto* chart = Find<CTchart1>(dlg, 1002);
    auto drag = [&](QPoint to) {
        QTest::mousePress(&dlg, Qt::LeftButton, Qt::NoModifier, bar->geometry().center());
        QMouseEvent move(QEvent::MouseMove, to, dlg.mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(&dlg, &move);
        QTest::mouseRelease(&dlg, Qt::LeftButton, Qt::NoModifier, to);
    };
    dlg.resize(1900, 1000);
    drag(QPoint(1604, 500));
    ASSERT_EQ(dlg.SplitterX(), 1600);
    dlg.resize(1100, 1000);
    EXPECT_EQ(dlg.SplitterX(), 1090 - 200);
    EXPECT_EQ(bar->geometry(), QRect(890, 100, 8, 890));
    EXPECT_EQ(chart->geometry(), QRect(897, 100, 193, 890));

    dlg.SelectMode(VIEW_CHART_LIST);
    drag(QPoint(500, 904));
    ASSERT_EQ(dlg.SplitterY(), 840);
    dlg.resize(1100, 600);
    EXPECT_EQ(dlg.SplitterY(), 590 - 150);
    EXPECT_EQ(bar->geometry(), QRect(10, 440, 1080, 8));
    EXPECT_EQ(Find<QTableView>(dlg, 1003)->geometry(), QRect(10, 447, 1080, 143));
}

// A database that fails the query, or fails in the middle of the walk:
// the database's own message, and the display as it was. A download
// writing meanwhile does not get in the way.
TEST_F(CHistoryTest, ADatabaseErrorLeavesTheDisplayAsItWas) {
    StoreDay();
    HistoryDb browsing(&messages);
    struct Trip {
        bool armed = false;
        int calls = 0;
    } trip;
    browsing.SetConnectionHook([&trip](sqlite3* c) {
        sqlite3_busy_timeout(c, 20);
        sqlite3_progress_handler(
            c, 100,
            [](void* p) {
                auto* t = static_cast<Trip*>(p);
                return t->armed && ++t->calls > 20 ? 1 : 0;
            },
            &trip);
    });
    ASSERT_EQ(browsing.Open(db.Path()), 0);
    CHistory dlg(browsing, messages, saves, kDev);
    SetRange(dlg, Time(At(2024, 3, 5)), Time(At(2024, 3, 6)));
    Press(dlg, 1010);
    ASSERT_EQ(dlg.Model().rowCount(), 288);
    auto* graphs = Find<QComboBox>(dlg, 1158);

    // A download's write transaction under way neither blocks the browser
    // nor shows it rows that are not stored yet.
    sqlite3* other = nullptr;
    sqlite3_open(db.Path().c_str(), &other);
    auto exec = [other](const char* sql) {
        return sqlite3_exec(other, sql, nullptr, nullptr, nullptr);
    };
    ASSERT_EQ(exec("BEGIN IMMEDIATE; DELETE FROM Record;"), SQLITE_OK);
    SetRange(dlg, Time(At(2024, 3, 5, 12)), Time(At(2024, 3, 6)));
    Press(dlg, 1010);
    EXPECT_EQ(dlg.Model().rowCount(), 144);
    EXPECT_TRUE(messages.texts.empty());
    ASSERT_EQ(exec("ROLLBACK"), SQLITE_OK);
    Press(dlg, 1010);
    const int columns = dlg.Model().columnCount();
    graphs->setCurrentIndex(3);

    // The query fails: another program took the table away.
    ASSERT_EQ(exec("ALTER TABLE Record RENAME TO Gone"), SQLITE_OK);
    SetRange(dlg, Time(At(2024, 3, 5)), Time(At(2024, 3, 6)));
    Press(dlg, 1010);
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_EQ(messages.texts[0], "no such table: Record");
    ASSERT_EQ(exec("ALTER TABLE Gone RENAME TO Record"), SQLITE_OK);
    sqlite3_close(other);
    EXPECT_EQ(dlg.Model().rowCount(), 144);
    EXPECT_EQ(dlg.Model().columnCount(), columns);
    EXPECT_EQ(graphs->currentIndex(), 3);
    EXPECT_EQ(dlg.Chart().Series(0)->name(), "Wind(m/s)");
    EXPECT_EQ(dlg.Chart().Series(0)->count(), 144);
    EXPECT_EQ(dlg.Table().CellText(0, 1), "2024-03-05 12:00:00");

    // A step of the walk fails, once the query is open and the table shown
    // has been let go: the browser is left as a range without records.
    messages.texts.clear();
    trip.armed = true;
    Press(dlg, 1010);
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_EQ(messages.texts[0], "interrupted");
    EXPECT_EQ(dlg.Model().rowCount(), 0);
    EXPECT_EQ(dlg.Model().columnCount(), 2);
    EXPECT_EQ(Items(graphs), QStringList{"Temperature"});
    EXPECT_EQ(dlg.Chart().Series(0)->count(), 0);

    trip.armed = false;  // and it works again once the database does
    Press(dlg, 1010);
    EXPECT_EQ(dlg.Model().rowCount(), 288);
}

// Records stored by a download while the browser is open show up at the
// next Update, not in the middle of the table shown.
TEST_F(CHistoryTest, ADownloadMeanwhileLeavesTheShownTableAlone) {
    StoreDay();
    CHistory dlg(db, messages, saves, kDev);
    SetRange(dlg, Time(At(2024, 3, 5)), Time(At(2024, 3, 7)));
    Press(dlg, 1010);
    ASSERT_EQ(dlg.Model().rowCount(), 288);
    ASSERT_EQ(SaveWeather(db, kDev, At(2024, 3, 6), 12), 0);
    EXPECT_EQ(dlg.Model().rowCount(), 288);
    EXPECT_EQ(dlg.Chart().Series(0)->count(), 288);
    Press(dlg, 1010);
    EXPECT_EQ(dlg.Model().rowCount(), 300);
}

// The browser reads on its own connection while the history thread stores:
// every Update shows whole batches, never part of one, and never fewer rows.
TEST_F(CHistoryTest, UpdateWhileADownloadStoresShowsWholeBatches) {
    constexpr int kBatches = 20, kBatch = 48;  // four hours each
    ASSERT_EQ(SaveWeather(db, kDev, At(2024, 3, 1), kBatch), 0);
    CHistory dlg(db, messages, saves, kDev);
    SetRange(dlg, Time(At(2024, 3, 1)), Time(At(2024, 4, 1)));
    std::atomic<int> stored{1};
    std::thread download([&] {
        for (int b = 1; b < kBatches; ++b)
            if (SaveWeather(db, kDev, At(2024, 3, 1) + b * kBatch * 300, kBatch) == 0) ++stored;
    });
    int last = 0;
    while (stored < kBatches) {
        Press(dlg, 1010);
        const int rows = dlg.Model().rowCount();
        EXPECT_EQ(rows % kBatch, 0) << rows;
        EXPECT_GE(rows, last);
        last = rows;
    }
    download.join();
    ASSERT_EQ(stored.load(), kBatches);
    Press(dlg, 1010);
    EXPECT_EQ(dlg.Model().rowCount(), kBatches * kBatch);
    EXPECT_TRUE(messages.texts.empty());
}

// Showing and scrolling the list formats only the cells that come into sight.
TEST_F(CHistoryTest, ScrollingFormatsOnlyTheRowsInSight) {
    ASSERT_EQ(SaveWeather(db, kDev, At(2024, 3, 1), 5000), 0);
    CHistory dlg(db, messages, saves, kDev);
    SetRange(dlg, Time(At(2024, 3, 1)), Time(At(2024, 4, 1)));
    dlg.show();
    Press(dlg, 1010);
    auto counting = std::make_shared<CountingSource>(dlg.SharedTable());
    dlg.Model().SetTable(counting);
    auto* list = Find<QTableView>(dlg, 1003);
    QImage image(list->size(), QImage::Format_RGB32);
    const int rowsInSight =
        list->viewport()->height() / list->verticalHeader()->defaultSectionSize() + 2;
    const int bound = rowsInSight * dlg.Model().columnCount();
    for (int page = 0; page < 5; ++page) {
        counting->cells = 0;
        list->verticalScrollBar()->setValue(page * 1000);
        list->render(&image);
        EXPECT_GT(counting->cells, 0) << page;
        EXPECT_LE(counting->cells, bound) << page;
    }
}

TEST_F(CHistoryTest, ChartZoomsBackOnARightClickAndTellsTheNearestPoint) {
    StoreDay();
    CHistory dlg(db, messages, saves, kDev);
    SetRange(dlg, Time(At(2024, 3, 5)), Time(At(2024, 3, 6)));
    dlg.resize(1000, 700);
    dlg.show();
    Press(dlg, 1010);
    CTchart1& chart = dlg.Chart();
    const QDateTime min = chart.TimeAxis()->min(), max = chart.TimeAxis()->max();
    chart.chart()->zoomIn(QRectF(chart.chart()->plotArea().center(), QSizeF(50, 50)));
    ASSERT_TRUE(chart.chart()->isZoomed());
    QTest::mouseClick(chart.viewport(), Qt::RightButton, Qt::NoModifier,
                      chart.viewport()->rect().center());
    EXPECT_FALSE(chart.chart()->isZoomed());
    EXPECT_EQ(chart.TimeAxis()->min(), min);
    EXPECT_EQ(chart.TimeAxis()->max(), max);
    EXPECT_EQ(chart.ValueAxis()->max(), chart.Data().max);

    // Nearest point to a time a little after the third record.
    const double at = chart.Series(1)->at(2).x() + 100000;
    const QString tip = chart.TipText(1, at);
    // Record 2 holds 50.7 °F outdoors.
    EXPECT_EQ(tip, "Out Temp.(°C)\n2024-03-05 00:10:00   10.4");
    EXPECT_TRUE(chart.TipText(5, at).isEmpty());
}

// The file holds the columns in the order they were made, wherever the
// user dragged them in the header; a kind the name does not ask for writes
// nothing, and an empty table does not even ask for a name.
TEST_F(CHistoryTest, ExportWritesTheTableToTheChosenFile) {
    StoreDay();
    CHistory dlg(db, messages, saves, kDev);
    Press(dlg, 1011);
    EXPECT_TRUE(saves.asked.empty());

    SetRange(dlg, Time(At(2024, 3, 5, 1)), Time(At(2024, 3, 5, 2)));
    Press(dlg, 1010);
    Find<QTableView>(dlg, 1003)->horizontalHeader()->moveSection(2, 0);
    for (const char* name : {"hour.txt", "hour.CSV"}) {
        saves.answer = QString::fromStdString(dir.File(name));
        Press(dlg, 1011);
    }
    ASSERT_EQ(saves.asked.size(), 2u);
    EXPECT_EQ(saves.asked[0].filters, (QStringList{"Text table (*.csv)", "PDF document (*.pdf)"}));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir.File("hour.txt"))));
    QFile written(saves.answer);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    ASSERT_TRUE(bytes.startsWith("\xFF\xFE"));
    const QStringList lines =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2),
                           (bytes.size() - 2) / 2)
            .split("\r\n");
    ASSERT_EQ(lines.size(), 15);  // header, 13 rows, nothing after the last CR LF
    EXPECT_EQ(lines[0],
              "No.\tTime\tIn Temp.(°C)\tIn Humi.(%)\tOut Temp.(°C)\tOut Humi.(%)\tOut Dew(°C)\t"
              "Out Feel(°C)\tWind(m/s)\tGust(m/s)\tWind Direction\tABS Pressure(hpa)\t"
              "REL Pressure(hpa)\tRain Event(mm)\tRain Rate(mm)/h\tRain Hour(mm)\tRain Day(mm)\t"
              "Rain 24Hour(mm)\tRain Week(mm)\tRain Month(mm)\tRain Total(mm)");
    // Record 12 of the day (01:00), in °C.
    EXPECT_EQ(lines[1],
              "1\t2024-03-05 01:00:00\t21.4\t50\t12.2\t72\t4.1\t10.9\t3.6\t6.0\tE\t1006.2\t"
              "1014.2\t3.6\t7.2\t10.8\t14.4\t18.0\t21.6\t25.2\t28.8");
    EXPECT_TRUE(lines[13].startsWith("13\t2024-03-05 02:00:00\t"));
    EXPECT_EQ(lines[14], "");
    EXPECT_EQ(messages.texts, std::vector<std::string>{"Successful export data!"});
}

// A quick run leaves nothing on the screen, even once the progress window's
// delay has passed; a slow one shows it, and its Cancel stops the work.
TEST(WorkProgressDialog, ShowsForSlowWorkOnlyAndLeavesNothingBehind) {
    QWidget window;
    window.show();
    constexpr int kPastTheDelay = WorkProgressDialog::kShowAfterMs + 300;
    {
        WorkProgressDialog quick("Export", &window);
        quick.Run([](WorkProgress&) {});
        QTest::qWait(kPastTheDelay);
        EXPECT_FALSE(quick.isVisible());
    }
    WorkProgressDialog slow("Export", &window);
    bool shown = false, stopped = false;
    QTimer::singleShot(kPastTheDelay, &window, [&] {
        shown = slow.isVisible();
        if (auto* cancel = slow.findChild<QPushButton*>()) cancel->click();
    });
    slow.Run([&](WorkProgress& p) {
        p.total = 100;
        for (int i = 0; i < 500 && !p.cancel; ++i) {
            p.done = i / 5;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        stopped = p.cancel;
    });
    EXPECT_TRUE(shown);
    EXPECT_TRUE(stopped);
    QTest::qWait(kPastTheDelay);
    EXPECT_FALSE(slow.isVisible());
}

// Update loads on a worker: while the walk is held, the window answers with
// a busy cursor, ignores another Update, and brings up the progress window,
// whose Cancel leaves the browser empty; an Update that runs through loads.
TEST_F(CHistoryTest, UpdateLoadsOnAWorkerWhileTheWindowAnswers) {
    StoreDay();
    struct Gate {
        std::atomic<bool> armed{false}, open{false}, held{false};
    } gate;
    HistoryDb browsing(&messages);
    browsing.SetConnectionHook([&gate](sqlite3* c) {
        sqlite3_progress_handler(
            c, 1,
            [](void* p) {
                // Holds the first step after arming until the gate opens, three
                // seconds at most (a load on the window's thread would hang).
                auto* g = static_cast<Gate*>(p);
                if (!g->armed || g->held.exchange(true)) return 0;
                for (int i = 0; i < 300 && !g->open; ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                return 0;
            },
            &gate);
    });
    ASSERT_EQ(browsing.Open(db.Path()), 0);
    CHistory dlg(browsing, messages, saves, kDev);
    dlg.show();
    SetRange(dlg, Time(At(2024, 3, 5)), Time(At(2024, 3, 6)));
    Press(dlg, 1010);
    ASSERT_EQ(dlg.Model().rowCount(), 288);

    struct Seen {
        bool answered = false, busy = false, cursor = false, progress = false;
    } seen;
    QTimer::singleShot(WorkProgressDialog::kShowAfterMs + 300, &dlg, [&] {
        seen.answered = true;
        seen.busy = dlg.Busy();
        const QCursor* cursor = QApplication::overrideCursor();
        seen.cursor = cursor && cursor->shape() == Qt::BusyCursor;
        Press(dlg, 1010);  // ignored while loading
        auto* progress = dlg.findChild<WorkProgressDialog*>();
        seen.progress = progress && progress->isVisible();
        if (progress) progress->findChild<QPushButton*>()->click();
        gate.open = true;
    });
    gate.armed = true;
    Press(dlg, 1010);
    EXPECT_TRUE(gate.held);
    EXPECT_TRUE(seen.answered);
    EXPECT_TRUE(seen.busy);
    EXPECT_TRUE(seen.cursor);
    EXPECT_TRUE(seen.progress);
    EXPECT_FALSE(dlg.Busy());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(dlg.Model().rowCount(), 0);  // cancelled
    EXPECT_EQ(dlg.Model().columnCount(), 2);
    EXPECT_TRUE(messages.texts.empty());

    gate.armed = false;
    Press(dlg, 1010);
    EXPECT_EQ(dlg.Model().rowCount(), 288);
}

// A long history: each series keeps its buckets' first, lowest, highest and
// last points, with the range of all of them; zooming in draws the records
// of the span themselves, and the tip tells the nearest record.
TEST_F(CHistoryTest, ALongHistoryIsDrawnFromItsBucketsAndAZoomFromItsRecords) {
    constexpr int kRecords = 5 * CTchart1::kBuckets;
    ASSERT_EQ(SaveWeather(db, kDev, At(2024, 1, 1), kRecords), 0);
    CHistory dlg(db, messages, saves, kDev);
    dlg.resize(1000, 700);
    dlg.show();
    SetRange(dlg, Time(At(2024, 1, 1)), Time(At(2025, 1, 1)));
    Press(dlg, 1010);
    ASSERT_EQ(dlg.Table().RowCount(), kRecords);
    CTchart1& chart = dlg.Chart();
    const QLineSeries* in = chart.Series(0);
    EXPECT_TRUE(chart.Data().reduced);
    EXPECT_LE(in->count(), 4 * CTchart1::kBuckets);
    EXPECT_GE(in->count(), CTchart1::kBuckets);
    double low = 1e9, high = -1e9;
    for (const QPointF& p : in->points()) {
        low = std::min(low, p.y());
        high = std::max(high, p.y());
    }
    // 68 to 72 °F, the indoor swing of a day.
    EXPECT_DOUBLE_EQ(low, (68.0 - 32) / 1.8);
    EXPECT_DOUBLE_EQ(high, (72.0 - 32) / 1.8);
    // The range over every point: indoors up to 72 °F, outdoors down to
    // 35 °F, padded by a fifth of the span.
    EXPECT_NEAR(chart.Data().max, 22.2222222 + 0.2 * (22.2222222 - 1.6666667), 1e-6);

    // A zoom into two hours of the third day: its 25 records, each one.
    AxisTime axis;
    const double from = axis.Msecs(StationTimeToOleDate(At(2024, 1, 3, 10)));
    const double to = axis.Msecs(StationTimeToOleDate(At(2024, 1, 3, 12)));
    chart.TimeAxis()->setRange(QDateTime::fromMSecsSinceEpoch(qint64(from)),
                               QDateTime::fromMSecsSinceEpoch(qint64(to)));
    QApplication::processEvents();
    int inSpan = 0;
    for (const QPointF& p : in->points()) inSpan += p.x() >= from && p.x() <= to;
    EXPECT_EQ(inSpan, 25);
    // Record 696 holds 71.0 °F.
    EXPECT_EQ(chart.TipText(0, from + 100000), "In Temp.(°C)\n2024-01-03 10:00:00   21.7");
}

// Six-digit row numbers fit the "No." column, in the list and in the PDF.
TEST_F(CHistoryTest, TheNumberColumnHoldsTheLargestRowNumber) {
    constexpr int kRows = 100000;
    ASSERT_EQ(SaveWeather(db, kDev, At(2024, 1, 1), kRows), 0);
    CHistory dlg(db, messages, saves, kDev);
    SetRange(dlg, Time(At(2024, 1, 1)), Time(At(2025, 1, 1)));
    Press(dlg, 1010);
    ASSERT_EQ(dlg.Table().RowCount(), kRows);
    auto* list = Find<QTableView>(dlg, 1003);
    EXPECT_GE(list->horizontalHeader()->sectionSize(0),
              list->fontMetrics().horizontalAdvance("100000") + 12);
    // Liberation Sans digits are 5.56 wide at size 10: 33.36 + 8, and 8 more.
    PdfFont font(text::Language::English);
    EXPECT_NEAR(PdfTableWriter::ColumnWidths(dlg.Table(), font, SampleTimeText())[0], 49.36, 0.01);
}
