#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>

#include "CHistory.h"
#include "ProgramRig.h"
#include "StationLock.h"

using namespace nimbary;
using nimbary::test::Program;

TEST(Program, PluggingAndUnpluggingFollowTheStation) {
    Program p;
    p.app->Start(false);
    EXPECT_EQ(p.Frame().PaneText(2), "Connected");
    ASSERT_TRUE(p.WaitFor([&] { return p.Frame().windowTitle().toStdString() == p.Title(); }))
        << p.Frame().windowTitle().toStdString();
    p.WaitTicks(1);
    EXPECT_EQ(p.View().Counts().clockSet, 1);
    EXPECT_TRUE(p.View().Display().Panel(Pair::Temperature).Visible(0));

    p.sim->Unplug();
    ASSERT_TRUE(p.WaitFor([&] { return p.Frame().PaneText(2) == "Unconnected"; }));
    EXPECT_EQ(p.Frame().windowTitle(), "Nimbary");
    EXPECT_EQ(p.View().DeviceId(), 0u);
    for (Pair pair : {Pair::Temperature, Pair::Humidity, Pair::Wind, Pair::Pressure}) {
        const ValuePanel& panel = p.View().Display().Panel(pair);
        for (int r = 0; r < panel.RowCount(); ++r) EXPECT_FALSE(panel.Visible(r));
    }

    // Back again: connected, titled, and the clock is set anew.
    p.sim->Plug();
    ASSERT_TRUE(p.WaitFor([&] { return p.Frame().PaneText(2) == "Connected"; }));
    ASSERT_TRUE(p.WaitFor([&] { return p.View().Counts().clockSet == 2; }));
    ASSERT_TRUE(p.WaitFor([&] { return p.Frame().windowTitle().toStdString() == p.Title(); }));
}

TEST(Program, ClockIsSetOncePerLocalHour) {
    Program p;
    p.app->Start(false);
    p.WaitTicks(3);
    EXPECT_EQ(p.View().Counts().clockSet, 1);
    EXPECT_EQ(p.counting->CountOf(0x83), 1);
    p.clockMs += 30 * 60 * 1000;  // 10:45, same hour
    p.WaitTicks(2);
    EXPECT_EQ(p.View().Counts().clockSet, 1);
    p.clockMs += 20 * 60 * 1000;  // 11:05
    p.WaitTicks(2);
    EXPECT_EQ(p.View().Counts().clockSet, 2);
    EXPECT_EQ(p.View().LastClockHour(), 11);
}

TEST(Program, PresenceChangeReadsAllSeriesOnTheSameTick) {
    Program p;
    p.app->Start(false);
    p.WaitTicks(2);
    const int fullBefore = p.View().Counts().full;
    sim::SimPresence presence = p.sim->Station().Presence();
    presence.flags &= ~sim::SQ_GUST;
    p.sim->Station().SetPresence(presence);
    ASSERT_TRUE(p.WaitFor([&] { return p.View().Counts().full > fullBefore; }));
    // The reading that brought the change is followed at once by the series.
    std::vector<uint8_t> codes = p.counting->Codes();
    auto graphRun = std::find(codes.rbegin(), codes.rend(), 0x09);
    ASSERT_NE(graphRun, codes.rend());
    auto it = graphRun;
    while (it != codes.rend() && *it == 0x09) ++it;
    ASSERT_NE(it, codes.rend());
    EXPECT_EQ(*it, 0x04);
    // indoor temp and humidity, channel 1 temp and humidity, pressure, wind, rain: no gust
    EXPECT_EQ(std::distance(graphRun, it), 7);
}

TEST(Program, OnlyTheFourDisplayUnitsForceAFullRedraw) {
    Program p;
    p.app->Start(false);
    p.WaitTicks(2);
    auto before = p.View().Counts();
    Units().LightUnit = 7;  // e.g. a station row loaded by the download
    p.WaitTicks(2);
    auto after = p.View().Counts();
    EXPECT_EQ(after.full, before.full);
    EXPECT_GE(after.dirty, before.dirty + 2);

    sim::SettingsBytes s = p.sim->Station().Settings();
    s[3] ^= 0x01;  // temperature unit
    p.sim->Station().SetSettings(s);
    ASSERT_TRUE(p.WaitFor([&] { return p.View().Counts().full > after.full; }));
}

TEST(Program, HistoryCommandsAreAnsweredByTheHistoryThread) {
    Program p(1);
    p.app->Start(false);
    ASSERT_TRUE(p.WaitFor([&] { return p.app->Doc().DownloadPasses() >= 1; }, 10000));
    const uint32_t id = p.sim->Station().DevId();
    std::vector<uint32_t> ids;
    int selected = 0;
    p.app->Doc().Database().FillDeviceList(ids, id, selected);
    ASSERT_EQ(ids.size(), 1u);

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(p.app->Doc().RunHistoryCommand(HistoryCommand::DeleteDatabaseRecords, id), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    p.app->Doc().Database().FillDeviceList(ids, id, selected);
    // The next pass may have started again already; the station row is gone or new.
    EXPECT_EQ(p.app->Doc().RunHistoryCommand(HistoryCommand::ClearStationMemory, 0), 1);
    EXPECT_EQ(p.counting->CountOf(0x87), 1);

    p.sim->Unplug();
    ASSERT_TRUE(p.WaitFor([&] { return p.Frame().PaneText(2) == "Unconnected"; }));
    EXPECT_EQ(p.app->Doc().RunHistoryCommand(HistoryCommand::ClearStationMemory, 0), 0);
    EXPECT_EQ(p.counting->CountOf(0x87), 1);  // nothing sent while unplugged
}

// History -> View opens the browser on the connected station, which reads
// the downloaded records while the download goes on.
TEST(Program, HistoryViewBrowsesTheConnectedStation) {
    Program p(1);
    p.app->Start(false);
    ASSERT_TRUE(p.WaitFor([&] { return p.app->Doc().DownloadPasses() >= 1; }, 10000));
    ASSERT_TRUE(p.WaitFor([&] { return p.View().DeviceId() != 0; }));
    auto* view = p.Frame().findChild<QAction*>(QString("cmd%1").arg(ID_HISTORY_VIEW));
    ASSERT_TRUE(view);
    QString station;
    int rows = -1;
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<CHistory*>(QApplication::activeModalWidget());
        if (!dlg) return;
        station = dlg->findChild<QComboBox*>("idc_1159")->currentText();
        dlg->Update();
        rows = dlg->Table().RowCount();
        dlg->reject();
    });
    view->trigger();
    EXPECT_EQ(station.toStdString(), p.Title().substr(10));
    EXPECT_GT(rows, 0);
}

TEST(Program, ClosingWhileBothThreadsAreBusyEndsCleanly) {
    for (int round = 0; round < 3; ++round) {
        Program p(30);  // a long first download
        p.app->Start(false);
        QTest::qWait(300 + 200 * round);
        p.app.reset();  // threads joined, then everything destroyed
    }
}

TEST(Program, StationHeldByAnotherProcessIsLeftAlone) {
    Program p;
    StationLock other(StationLock::SimulatedStationPath(DatabasePath(p.dataDir).toStdString()));
    ASSERT_TRUE(other.TryLock());
    p.app->Start(false);
    QTest::qWait(1500);
    EXPECT_EQ(p.Frame().PaneText(2), "Unconnected");
    EXPECT_TRUE(p.counting->Codes().empty());
    other.Unlock();
    p.sim->Unplug();
    p.sim->Plug();  // the next arrival finds the lock free
    ASSERT_TRUE(p.WaitFor([&] { return p.Frame().PaneText(2) == "Connected"; }));
}

TEST(Program, AStationThatStopsAnsweringIsShownSo) {
    Program p;
    p.app->Start(false);
    p.WaitTicks(1);
    p.sim->Faults().Add(sim::Fault::BadChecksum, 4, 0x08);
    ASSERT_TRUE(
        p.WaitFor([&] { return p.Frame().PaneText(0) == "The station does not answer"; }, 8000));
    EXPECT_EQ(p.Frame().PaneText(2), "Connected");
    ASSERT_TRUE(p.WaitFor([&] { return p.Frame().PaneText(0) == "Ready"; }, 8000));
}

TEST(Program, StationDialogsOpenFromTheirCommandsWhileTheDisplayGoesOn) {
    Program p;
    p.app->Start(false);
    p.WaitTicks(1);
    const std::pair<int, const char*> cases[] = {
        {ID_SETTING, "CSetting"}, {ID_ALARM, "CAlarm"}, {ID_MAXMIN, "CMaxMin"}};
    for (auto [command, name] : cases) {
        QString opened;
        bool readOk = false, ticked = false;
        QTimer::singleShot(0, [&] {
            QWidget* d = nullptr;
            if (!QTest::qWaitFor(
                    [&] { return (d = QApplication::activeModalWidget()) != nullptr; }))
                return;
            opened = d->objectName();
            // Save or Reset is enabled only after a successful read before opening.
            const int action = opened == "CMaxMin" ? 1020 : 1;
            readOk = d->findChild<QWidget*>(QString("idc_%1").arg(action))->isEnabled();
            const int ticks = p.Ticks();
            ticked = QTest::qWaitFor([&] { return p.Ticks() > ticks; }, 4000);
            d->findChild<QAbstractButton*>("idc_2")->click();
        });
        p.Frame().findChild<QAction*>(QString("cmd%1").arg(command))->trigger();
        EXPECT_EQ(opened.toStdString(), name);
        EXPECT_TRUE(readOk) << name;
        EXPECT_TRUE(ticked) << name;
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}
