#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>

#include "CHistory.h"
#include "ProgramRig.h"
#include "StationLock.h"
#include "StationTime.h"
#include "TempDir.h"

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

// Rain appearing and going at run time lays the pairs out again both ways,
// and an unplugged station leaves the 310-pixel pairs of a station without rain.
TEST(Program, RainAppearingAndGoingLaysThePairsOutAgain) {
    Program p;
    p.app->Start(false);
    p.WaitTicks(1);
    const LiveDisplay& d = p.View().Display();
    auto heights = [&] {
        return std::make_pair(d.Panel(Pair::Wind).Height(), d.Panel(Pair::Pressure).Y());
    };
    ASSERT_TRUE(d.RainLaidOut());  // the simulated station has a rain gauge
    EXPECT_EQ(heights(), std::make_pair(180, 198));

    for (bool rain : {false, true}) {
        SCOPED_TRACE(rain ? "rain again" : "no rain");
        const int relayouts = p.View().Counts().relayout;
        sim::SimPresence presence = p.sim->Station().Presence();
        presence.flags = rain ? (presence.flags | sim::SQ_RAIN) : (presence.flags & ~sim::SQ_RAIN);
        p.sim->Station().SetPresence(presence);
        ASSERT_TRUE(p.WaitFor([&] { return p.View().Counts().relayout > relayouts; }));
        EXPECT_EQ(d.RainLaidOut(), rain);
        EXPECT_EQ(heights(), rain ? std::make_pair(180, 198) : std::make_pair(310, 328));
        EXPECT_EQ(d.Panel(Pair::Rain).Visible(RAIN_TOTAL), rain);
    }

    p.sim->Unplug();
    ASSERT_TRUE(p.WaitFor([&] { return p.Frame().PaneText(2) == "Unconnected"; }));
    EXPECT_FALSE(d.RainLaidOut());
    EXPECT_EQ(heights(), std::make_pair(310, 328));
}

// The station's graph refresh request reads every series again; a series
// read that fails is tried again on the next tick until it succeeds.
TEST(Program, GraphRefreshRequestAndARetriedSeriesRead) {
    Program p;
    p.app->Start(false);
    p.WaitTicks(1);
    // Indoor and channel 1 temperature and humidity, pressure, wind, gust, rain.
    const int series = 8;
    const int start = p.counting->CountOf(0x09);
    for (bool failOnce : {false, true}) {
        SCOPED_TRACE(failOnce ? "first series read fails" : "refresh request");
        const int full = p.View().Counts().full;
        const int reads = p.counting->CountOf(0x09);
        if (failOnce) p.sim->Faults().Add(sim::Fault::BadChecksum, 1, 0x09);
        p.sim->Station().AdvanceClock(3600);  // a new hourly point: the station asks for the series
        ASSERT_TRUE(p.WaitFor([&] { return p.View().Counts().full > full; }, 6000));
        EXPECT_EQ(p.counting->CountOf(0x09), reads + series + (failOnce ? 1 : 0));
    }
    EXPECT_EQ(p.sim->Faults().Fired(sim::Fault::BadChecksum), 1);
    p.WaitTicks(1);
    EXPECT_EQ(p.counting->CountOf(0x09), start + 2 * series + 1) << "not read again once met";
}

TEST(Program, OnlyTheFourDisplayUnitsForceAFullRedraw) {
    Program p;
    p.app->Start(false);
    p.WaitTicks(2);
    // A download's ReadDevice puts a stored station row's LightUnit into the
    // unit set at any moment; here always between a tick's settings read
    // (which makes it 0) and that tick's comparison of the units.
    std::atomic<int> changed{0};
    p.counting->OnRequest([&changed](uint8_t code) {
        if (code != 0x04) return;
        UnitSet u = Units();
        u.LightUnit = 7 + changed++;
        SetUnits(u);
    });
    auto before = p.View().Counts();
    p.WaitTicks(2);
    p.counting->OnRequest(nullptr);
    auto after = p.View().Counts();
    EXPECT_GE(changed.load(), 2);
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

// While another process holds the station, the program leaves it alone and
// says so, at start-up and at every arrival, and takes the station as soon
// as the other lets go.
TEST(Program, StationHeldByAnotherProcessIsLeftAloneUntilItIsFree) {
    Program p;
    StationLock other(StationLock::SimulatedStationPath(DatabasePath(p.dataDir).toStdString()));
    ASSERT_TRUE(other.TryLock());
    // Named by its process, here this one.
    const std::string held = "Another program is using the weather station (" +
                             CommandName(getpid()) + ", PID " + std::to_string(getpid()) + ")";
    auto pane0 = [&p] { return p.Frame().PaneText(0).toStdString(); };
    p.app->Start(false);
    EXPECT_EQ(pane0(), held);
    QTest::qWait(1500);
    EXPECT_EQ(p.Frame().PaneText(2), "Unconnected");
    EXPECT_EQ(pane0(), held);
    EXPECT_TRUE(p.counting->Codes().empty());

    p.sim->Unplug();
    p.sim->Plug();
    p.sim->WaitForNotices();
    QTest::qWait(100);  // the notices' queued calls
    EXPECT_EQ(pane0(), held);
    EXPECT_TRUE(p.counting->Codes().empty());

    // No notice comes when the other process ends; the program looks again by itself.
    other.Unlock();
    ASSERT_TRUE(p.WaitFor([&] { return p.Frame().PaneText(2) == "Connected"; }, 3000));
    EXPECT_EQ(p.Frame().PaneText(0), "Ready");
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

// The dialogs' writes take the view's own data lock, which the poll thread
// holds while it compares and draws.
TEST(Program, SettingAndAlarmSavesGoThroughTheViewsDataLockWhileItPolls) {
    Program p;
    p.app->Start(false);
    p.WaitTicks(1);
    const std::pair<int, std::function<void(QWidget&)>> saves[] = {
        {ID_SETTING, [](QWidget& d) { d.findChild<QComboBox*>("idc_1133")->setCurrentIndex(1); }},
        {ID_ALARM, [](QWidget& d) { d.findChild<QLineEdit*>("idc_1027")->setText("25"); }},
    };
    for (const auto& [command, edit] : saves) {
        p.messages.shown.clear();
        QTimer::singleShot(0, [&, edit = edit] {
            QWidget* d = nullptr;
            if (!QTest::qWaitFor(
                    [&] { return (d = QApplication::activeModalWidget()) != nullptr; }))
                return;
            const int ticks = p.Ticks();
            EXPECT_TRUE(QTest::qWaitFor([&] { return p.Ticks() > ticks; }, 4000));  // polls go on
            edit(*d);
            d->findChild<QAbstractButton*>("idc_1")->click();
        });
        p.Frame().findChild<QAction*>(QString("cmd%1").arg(command))->trigger();
        ASSERT_EQ(p.messages.shown.size(), 1u) << command;
        EXPECT_EQ(p.messages.shown[0].text, "Successfully saved!") << command;
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
    EXPECT_EQ(p.sim->Station().Settings()[4], 0x02) << "km/h";
    EXPECT_EQ(p.sim->Station().Alarms()[2], 0x92) << "indoor high 25.0 °C, 77.0 °F";
    const int ticks = p.Ticks();
    EXPECT_TRUE(p.WaitFor([&] { return p.Ticks() > ticks; })) << "and the poll after them";
}

// A history database that may only be read is browsed, said once, and never
// downloaded into.
TEST(Program, ADatabaseThatMayOnlyBeReadIsSaidOnceAndNeverWritten) {
    if (const std::string why = nimbary::testing::AsUnprivileged::CannotReachTemp(); !why.empty()) GTEST_SKIP() << why;
    QTemporaryDir root;
    const std::string path = root.filePath("Nimbary.db").toStdString();
    {
        HistoryDb db;
        ASSERT_EQ(db.Open(path), 0);
    }
    chmod(path.c_str(), 0444);
    chmod(root.path().toLocal8Bit().constData(), 0777);
    nimbary::testing::AsUnprivileged nobody;
    ASSERT_TRUE(nobody.Active());

    sim::SimOptions o;
    o.simulate = true;
    std::string error;
    auto sim = sim::MakeSimBackend(o, error);
    ASSERT_TRUE(sim) << error;
    CountingBackend counting(*sim);
    RecordingMessages messages;
    CNimbaryDoc doc(counting, messages, path + ".station-lock");
    doc.OpenDatabase(path);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "The database is read-only: history records cannot be stored.");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Warning);
    EXPECT_TRUE(doc.Database().ReadOnly());

    ASSERT_EQ(doc.OpenStation(), 1);
    doc.StationOpened();
    doc.Start(nullptr);
    QTest::qWait(700);  // a download pass begins at once after a station opens
    doc.Shutdown();
    EXPECT_EQ(doc.DownloadPasses(), 0);
    EXPECT_EQ(counting.CountOf(0x01), 0);  // not even the device information for one
    EXPECT_EQ(messages.shown.size(), 1u);
}

// A station found before the history thread runs gets its first download at
// once, not 8 seconds later.
TEST(Program, AStationFoundBeforeTheHistoryThreadRunsIsDownloadedAtOnce) {
    QTemporaryDir root;
    const std::string path = root.filePath("Nimbary.db").toStdString();
    sim::SimOptions o;
    o.simulate = true;
    o.days = 0;
    std::string error;
    auto sim = sim::MakeSimBackend(o, error);
    ASSERT_TRUE(sim) << error;
    RecordingMessages messages;
    CNimbaryDoc doc(*sim, messages, path + ".station-lock");
    ASSERT_EQ(doc.OpenDatabase(path), 0);
    ASSERT_EQ(doc.OpenStation(), 1);
    doc.StationOpened();  // its wake-up comes before the thread exists
    const auto start = std::chrono::steady_clock::now();
    doc.Start(nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return doc.DownloadPasses() >= 1; }, 3000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    doc.Shutdown();
}

// What a download pass tells beyond its records reaches the status bar: here
// a station clock two hours behind, on the computer's real clock.
TEST(Program, ClockOffIsShownInTheStatusBar) {
    Program p;
    p.sim->Station().SetIgnoreClockSet(true);  // no record at the right time meanwhile
    p.sim->Station().SetTime(sim::LocalNowStationSeconds() - 2 * 3600);
    p.sim->Station().GenerateHistory(1);
    p.app->Start(false);
    const QString said = "behind the computer's clock";
    ASSERT_TRUE(p.WaitFor([&] { return p.Frame().PaneText(0).contains(said); }))
        << p.Frame().PaneText(0).toStdString();
    EXPECT_TRUE(p.Frame().PaneText(0).startsWith("The station's newest record ("));
}

// Another process holding the database's write lock while the program
// downloads and clears: each says the database is locked, nothing stored is
// lost, the display goes on, and the next pass after the lock stores it all.
TEST(Program, ADatabaseLockedByAnotherProcessLosesNothingAndTheDisplayGoesOn) {
    Program p(1);
    const std::string path = DatabasePath(p.dataDir).toStdString();
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &holder), SQLITE_OK);
    auto count = [&] {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(holder, "SELECT count(*) FROM Record", -1, &s, nullptr);
        const int n = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int(s, 0) : -1;
        sqlite3_finalize(s);
        return n;
    };
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    p.app->Start(false);
    ASSERT_TRUE(p.WaitFor([&] { return p.app->Doc().DownloadPasses() >= 1; }, 15000));
    p.WaitTicks(2);  // the display went on meanwhile
    const uint32_t id = p.sim->Station().DevId();
    EXPECT_EQ(p.app->Doc().RunHistoryCommand(HistoryCommand::DeleteDatabaseRecords, id,
                                             std::chrono::seconds(15)),
              0);
    std::vector<std::string> texts;
    for (const auto& m : p.messages.shown) texts.push_back(m.text);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "database is locked"), 2) << texts.size();
    // Counted inside the holder's own transaction: a pass waiting on the lock
    // may store the moment it is let go.
    EXPECT_EQ(count(), 0);
    ASSERT_EQ(sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);

    // A command wakes the history thread; its pass then stores the day, and
    // what the station recorded since. (A pass that met the lock may still be
    // counted after the commit, so wait for the records, not for a pass.)
    EXPECT_EQ(p.app->Doc().RunHistoryCommand(HistoryCommand::DeleteDatabaseRecords, 1), 1);
    EXPECT_TRUE(p.WaitFor([&] { return count() >= 288; }, 15000)) << count();
    sqlite3_close(holder);
}

// A Nimbary.db that is not a database, or one cut short: the program says
// which file and why, goes on showing the station, and leaves the file as
// it found it.
TEST(Program, ABrokenDatabaseIsNamedAndLeftAsItIs) {
    QByteArray whole;
    {
        Program made(1);
        made.app->Start(false);
        ASSERT_TRUE(made.WaitFor([&] { return made.app->Doc().DownloadPasses() >= 1; }, 10000));
        made.app->Stop();
        made.app.reset();  // the last connection folds the journal into the file
        QFile f(DatabasePath(made.dataDir));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        whole = f.readAll();
    }
    QByteArray random(8192, '\0');
    for (int i = 0; i < random.size(); ++i) random[i] = char((i * 2654435761u) >> 9);
    const struct {
        const char* name;
        QByteArray bytes;
        const char* why;
    } cases[] = {
        {"random bytes", random, "file is not a database"},
        {"a text file", "[Language]\nDefault=English\n", "file is not a database"},
        {"cut in the middle", whole.left(whole.size() / 2), "database disk image is malformed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString file;
        Program p(1, [&](const QString& dataDir) {
            file = DatabasePath(dataDir);
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.bytes);
        });
        p.app->Start(false);
        p.WaitTicks(2);
        ASSERT_TRUE(p.WaitFor([&] { return p.Frame().PaneText(2) == "Connected"; }));
        ASSERT_EQ(p.messages.shown.size(), 1u);
        EXPECT_EQ(p.messages.shown[0].text,
                  "Cannot open the database!\n" + file.toStdString() + "\n" + c.why);
        EXPECT_EQ(p.messages.shown[0].icon, MessageIcon::Error);
        p.app->Stop();
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_TRUE(f.readAll() == c.bytes);
    }
}
