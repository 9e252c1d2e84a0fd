#pragma once

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <functional>
#include <memory>

#include "CNimbaryApp.h"
#include "CountingBackend.h"
#include "DataFolder.h"
#include "GuiThread.h"
#include "RecordingMessages.h"
#include "SimBackend.h"
#include "SimOptions.h"
#include "StationLock.h"

namespace nimbary::test {

// The whole program against the simulated station, without a screen.
struct Program {
    QTemporaryDir root;
    QString dataDir = root.filePath("data");
    std::unique_ptr<sim::SimBackend> sim;
    std::unique_ptr<CountingBackend> counting;
    RecordingMessages messages;
    std::unique_ptr<CNimbaryApp> app;
    std::atomic<qint64> clockMs{0};

    // `before` runs on the data folder once it is made, before the program opens its files.
    explicit Program(uint32_t days = 0, std::function<void(const QString&)> before = {}) {
        sim::SimOptions o;
        o.simulate = true;
        o.days = days;
        std::string error;
        sim = sim::MakeSimBackend(o, error);
        EXPECT_TRUE(sim) << error;
        sim->SetNoticePoster([](std::function<void()> f) {
            nimbary::PostToGuiThread(qApp, std::move(f), true);
        });
        counting = std::make_unique<CountingBackend>(*sim);
        QTemporaryDir program;
        QFile::copy(NIMBARY_MAIN_INI, program.filePath("main.ini"));
        PrepareDataFolder(program.path(), dataDir, messages);
        if (before) before(dataDir);
        clockMs = QDateTime(QDate(2026, 12, 8), QTime(10, 15)).toMSecsSinceEpoch();
        app = std::make_unique<CNimbaryApp>(
            *counting, sim.get(), dataDir,
            StationLock::SimulatedStationPath(DatabasePath(dataDir).toStdString()), messages);
        app->View().SetClock([this] { return QDateTime::fromMSecsSinceEpoch(clockMs); });
    }
    ~Program() {
        app.reset();
        sim->WaitForNotices();
    }

    CMainFrame& Frame() { return app->Frame(); }
    CNimbaryView& View() { return app->View(); }

    // Pumps the event loop until `done` or the time is up.
    template <class F>
    bool WaitFor(F done, int ms = 5000) {
        return QTest::qWaitFor(done, ms);
    }
    int Ticks() {
        auto c = View().Counts();
        return c.full + c.dirty + c.relayout;
    }
    void WaitTicks(int n) {
        int target = Ticks() + n;
        ASSERT_TRUE(WaitFor([&] { return Ticks() >= target; }, 3000 + 1500 * n));
    }
    std::string Title() {
        return "Nimbary - " +
               QString("%1").arg(sim->Station().DevId(), 8, 16, QChar('0')).toUpper().toStdString();
    }
};

}  // namespace nimbary::test
