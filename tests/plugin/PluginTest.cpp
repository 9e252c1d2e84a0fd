// The plug-in driven through its exports only, against the simulated station
// that its station library runs.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "DisplayFonts.h"
#include "HostIds.h"
#include "PluginRig.h"

namespace nimbary::testing {
namespace {

const QColor kBody(250, 250, 250), kWhite(255, 255, 255), kLabel(34, 34, 34), kValue(82, 82, 82),
    kGraphText(108, 108, 108), kBorder(160, 160, 160);
const QRect kTempPanel(8, 8, 120, 310), kTempLegend(127, 8, 452, 40);

// Every host id the plug-in may load.
const std::set<int> kHostIds = [] {
    std::set<int> ids;
    const std::pair<int, int> ranges[] = {
        {2000, 2004}, {2007, 2013}, {2015, 2019}, {2024, 2024}, {2027, 2028}, {2030, 2033},
        {2035, 2043}, {2050, 2052}, {2054, 2058}, {2063, 2063}, {2065, 2091}, {2095, 2096},
        {2099, 2101}, {2105, 2105}, {2108, 2110}, {2113, 2113}, {2125, 2125}};
    for (const auto& [first, last] : ranges)
        for (int id = first; id <= last; ++id) ids.insert(id);
    return ids;
}();

using Requests = std::vector<std::pair<int, int>>;
// All series of a station with channels 1 and 3 and everything else, in the
// order they are asked for.
const Requests kOneAndThree = {{1, 0}, {2, 0}, {3, 0}, {3, 2}, {4, 0},
                               {4, 2}, {5, 0}, {6, 0}, {6, 1}, {8, 0}};

TEST(Plugin, ChannelsOneAndThreeShowTheirRowsLegendsAndSeries) {
    PluginRig rig("--sim-channels 1,3");
    rig.Start();
    EXPECT_EQ(rig.Poll(), 1) << "the rain pair is laid out on the first poll";
    EXPECT_EQ(rig.GraphRequests(), kOneAndThree);

    const QImage shot = rig.Draw();
    EXPECT_EQ(shot.pixel(12, 38), QColor(248, 248, 248).rgb()) << "the plug-in's caption band";
    const QFont panel = PanelFont(16), graph = GraphFont();
    for (const char* row : {"IN:", "CH1:", "CH3:"})
        EXPECT_TRUE(FindText(shot, kTempPanel, row, panel, kLabel, kBody)) << row;
    EXPECT_FALSE(FindText(shot, kTempPanel, "CH2:", panel, kLabel, kBody));
    for (const char* name : {"IN", "CH1", "CH3"})
        EXPECT_TRUE(FindText(shot, kTempLegend, name, graph, kGraphText, kWhite)) << name;
    EXPECT_FALSE(FindText(shot, kTempLegend, "CH2", graph, kGraphText, kWhite));
    EXPECT_TRUE(FindText(shot, kTempPanel, QStringLiteral("°C"), panel, kValue, kBody))
        << "the station's settings are in °C";
}

TEST(Plugin, GraphRefreshRequestOnEveryReadingReadsTheSeriesEachTime) {
    PluginRig rig("--sim-channels 1,3");
    rig.Start();
    rig.Poll();
    ASSERT_EQ(rig.SimGraphRefresh(1), STALINK_OK);
    EXPECT_EQ(rig.Poll(), 0);
    EXPECT_EQ(rig.Poll(), 0);
    EXPECT_EQ(rig.GraphRequests().size(), 3 * kOneAndThree.size());
}

TEST(Plugin, FailingPressureSeriesIsReadAgainFromTheFirstNextTime) {
    PluginRig rig("--sim-channels 1,3");
    rig.Start();
    ASSERT_EQ(rig.SimFault("bad checksum", 1, 0x09, 5), STALINK_OK);
    EXPECT_EQ(rig.Poll(), 0);
    const Requests upToPressure(kOneAndThree.begin(), kOneAndThree.begin() + 7);
    EXPECT_EQ(rig.GraphRequests(), upToPressure);
    EXPECT_EQ(rig.Poll(), 1) << "the series are in now, and so is the rain pair";
    Requests both = upToPressure;
    both.insert(both.end(), kOneAndThree.begin(), kOneAndThree.end());
    EXPECT_EQ(rig.GraphRequests(), both);
}

TEST(Plugin, RainAppearingRelaysOutWithoutDrawing) {
    PluginRig rig("--sim-no-rain");
    rig.Start();
    EXPECT_EQ(rig.Poll(), 0);
    const QImage before = rig.Draw();
    EXPECT_EQ(before.pixel(649, 328), kBorder.rgb()) << "pressure panel from y 328";
    EXPECT_EQ(before.pixel(649, 388), kBody.rgb()) << "no rain pair";

    ASSERT_EQ(rig.SimPresence(1, 1, 0x7F), STALINK_OK);
    rig.image.fill(Qt::magenta);
    EXPECT_EQ(rig.Poll(), 1);
    EXPECT_EQ(rig.image.pixel(300, 300), QColor(Qt::magenta).rgb()) << "nothing drawn";

    const QImage after = rig.Draw();
    EXPECT_EQ(after.pixel(649, 187), kBorder.rgb()) << "wind panel 180 high";
    EXPECT_EQ(after.pixel(649, 198), kBorder.rgb()) << "pressure panel from y 198";
    EXPECT_EQ(after.pixel(649, 388), kBorder.rgb()) << "rain panel at y 388";
    EXPECT_EQ(after.pixel(900, 388), kBorder.rgb()) << "rain graph at y 388";
}

TEST(Plugin, GetUnitAndSetUnit) {
    PluginRig rig;
    rig.Start();
    rig.Poll();
    const PluginUnitSet station = {1, 0, 0, 0};  // the simulated station's °C, hPa, m/s, mm
    PluginUnitSet same = station;
    EXPECT_EQ(rig.GetUnit(&same), 1);
    EXPECT_EQ(std::memcmp(&same, &station, sizeof same), 0) << "left as it was";
    for (int field = 0; field < 4; ++field) {
        PluginUnitSet other = station;
        reinterpret_cast<int32_t*>(&other)[field] = 7;
        EXPECT_EQ(rig.GetUnit(&other), 0) << field;
        EXPECT_EQ(std::memcmp(&other, &station, sizeof other), 0) << field;
    }
    EXPECT_EQ(rig.GetUnit(nullptr), 0);

    const PluginUnitSet fahrenheit = {0, 0, 0, 0};
    rig.SetUnit(&fahrenheit);
    const QFont panel = PanelFont(16);
    EXPECT_TRUE(FindText(rig.Draw(), kTempPanel, QStringLiteral("°F"), panel, kValue, kBody));
    rig.Poll();
    PluginUnitSet now{};
    rig.GetUnit(&now);
    EXPECT_EQ(now.Temperature, 1) << "the next poll takes the station's units again";
    EXPECT_TRUE(FindText(rig.Draw(), kTempPanel, QStringLiteral("°C"), panel, kValue, kBody));
}

// Pixels of a series colour in the temperature legend: its box filled or hollow.
int InBoxPixels(const QImage& shot) {
    int n = 0;
    for (int y = kTempLegend.top(); y < kTempLegend.top() + 23; ++y)
        for (int x = kTempLegend.left(); x < kTempLegend.left() + 120; ++x)
            n += shot.pixel(x, y) == QColor(0, 204, 255).rgb();
    return n;
}

TEST(Plugin, LegendClicksHideAndShowASeries) {
    PluginRig rig;
    rig.Start();
    rig.Poll();
    const int filled = InBoxPixels(rig.Draw());
    // "IN" is the first entry: from the plot's left edge, in the first legend row.
    const int x = 127 + 50 + 4, y = 8 + 5 + 6;
    EXPECT_EQ(rig.OnMouseMove(0, x, y), 1);
    EXPECT_EQ(rig.OnLButtonUp(0, x, y), 1);
    EXPECT_EQ(rig.OnMouseMove(0, 400, 200), 0);

    QImage marked(1170, 690, QImage::Format_RGB32);
    marked.fill(Qt::magenta);
    {
        QPainter p(&marked);
        EXPECT_EQ(rig.OnLButtonDown(0, 400, 200, &p), 0);
    }
    EXPECT_EQ(marked.pixel(400, 200), QColor(Qt::magenta).rgb()) << "a miss draws nothing";
    {
        QPainter p(&marked);
        EXPECT_EQ(rig.OnLButtonDown(0, x, y, &p), 1);
    }
    EXPECT_NE(marked.pixel(400, 200), QColor(Qt::magenta).rgb()) << "the graph was redrawn";
    const int hollow = InBoxPixels(rig.Draw());
    EXPECT_LT(hollow, filled / 2);
    EXPECT_GT(hollow, 0);
    EXPECT_EQ(rig.OnLButtonDown(0, x, y, nullptr), 1);
    EXPECT_EQ(InBoxPixels(rig.Draw()), filled);
}

// Dark (text) pixels in a rectangle.
int Dark(const QImage& shot, const QRect& r) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += qGray(shot.pixel(x, y)) < 150;
    return n;
}

TEST(Plugin, DeviceRemoveDoneLeavesEmptyPanelsAndGraphs) {
    PluginRig rig;
    rig.Start();
    EXPECT_EQ(rig.Poll(), 1);
    const QRect body(9, 8 + 37, 118, 310 - 46), plot(127 + 51, 8 + 40, 452 - 62, 310 - 62);
    const QImage full = rig.Draw();
    ASSERT_GT(Dark(full, body), 0);

    rig.DeviceRemoveDone();
    const QImage empty = rig.Draw();
    EXPECT_EQ(Dark(empty, body), 0) << "every row hidden";
    EXPECT_EQ(Dark(empty, QRect(180, 10, 390, 16)), 0) << "no legend entries";
    int coloured = 0;
    for (int y = plot.top(); y <= plot.bottom(); ++y)
        for (int x = plot.left(); x <= plot.right(); ++x)
            coloured += qRed(empty.pixel(x, y)) != qBlue(empty.pixel(x, y));
    EXPECT_EQ(coloured, 0) << "no series lines";
    EXPECT_EQ(empty.pixel(649, 328), kBorder.rgb()) << "pressure 310 high, no rain pair";
    EXPECT_EQ(empty.pixel(649, 388), kBody.rgb());
    EXPECT_EQ(rig.Poll(), 1) << "the next poll brings the station back";
}

TEST(Plugin, StationErrorsKeepWhatWasShown) {
    struct Case {
        const char* what;
        std::function<void(PluginRig&)> fail, mend;
    };
    const std::vector<Case> cases = {
        {"station unplugged", [](PluginRig& r) { r.SimPlug(0); },
         [](PluginRig& r) { r.SimPlug(1); }},
        {"bad checksum on the current reading",
         [](PluginRig& r) { r.SimFault("bad checksum", 1, 0x04, -1); }, [](PluginRig&) {}},
    };
    for (const Case& c : cases) {
        PluginRig rig;
        rig.Start();
        rig.Poll();
        rig.Poll();
        const QImage before = rig.Draw();
        c.fail(rig);
        rig.image.fill(Qt::magenta);
        EXPECT_EQ(rig.Poll(), 0) << c.what;
        EXPECT_EQ(rig.image.pixel(300, 300), QColor(Qt::magenta).rgb()) << c.what;
        EXPECT_EQ(rig.Draw(), before) << c.what;
        c.mend(rig);
        EXPECT_EQ(rig.Poll(), 0) << c.what;
        EXPECT_NE(rig.image.pixel(300, 300), QColor(Qt::magenta).rgb()) << c.what << ": drawn";
    }
}

// The settings read of a poll sees the station's new unit and its current
// reading then fails: the next poll still redraws everything in the new unit.
TEST(Plugin, AUnitChangeSeenByAFailedPollIsDrawnByTheNext) {
    PluginRig rig;
    rig.Start();
    rig.Poll();
    rig.Poll();
    unsigned char block[128] = {};
    ASSERT_EQ(rig.UsbReadParam(block, 3), STALINK_OK);
    unsigned char write[128] = {};
    std::copy(block + 4, block + 26, write + 2);
    write[2 + 3] |= 0x01;  // °F
    ASSERT_EQ(rig.UsbWriteParam(write, 25), STALINK_OK);
    ASSERT_EQ(rig.SimFault("bad checksum", 1, 0x04, -1), STALINK_OK);
    EXPECT_EQ(rig.Poll(), 0);
    EXPECT_EQ(rig.Poll(), 0);
    EXPECT_EQ(rig.units.Temperature, 0);
    const QImage polled = rig.Draw();
    rig.SetUnit(&rig.units);  // the same units, applied afresh
    EXPECT_EQ(rig.Draw(), polled) << "the graphs were left in °C";
}

TEST(Plugin, CarelessHostsDoNotCrashIt) {
    for (int round = 0; round < 2; ++round) {  // loaded and unloaded twice
        PluginRig rig;
        QImage untouched = rig.image;
        {
            QPainter p(&rig.image);
            rig.DrawData(&p, 1);  // before InitVariant
        }
        EXPECT_EQ(rig.image, untouched);
        EXPECT_EQ(rig.ReadMainRecord(nullptr, nullptr), 0);
        rig.SetUnit(nullptr);
        rig.host.silent = true;
        rig.Start();
        EXPECT_EQ(rig.ReadMainRecord(nullptr, nullptr), 1);
        const QImage shot = rig.Draw();
        EXPECT_EQ(Dark(shot, QRect(10, 10, 116, 24)), 0) << "no caption from a silent host";
        EXPECT_GT(Dark(shot, QRect(9, 45, 118, 260)), 0) << "values still shown";
    }
}

// The failures so far, where the parent of a test's own process shows them.
void FailuresToStderr() {
    const ::testing::TestResult* result =
        ::testing::UnitTest::GetInstance()->current_test_info()->result();
    for (int i = 0; i < result->total_part_count(); ++i) {
        const ::testing::TestPartResult& r = result->GetTestPartResult(i);
        if (r.failed())
            std::fprintf(stderr, "%s:%d: %s\n", r.file_name(), r.line_number(), r.message());
    }
}

// Once a dialog has run in it the plug-in stays loaded (a host may unload it
// while the dialog runs), so a test that opens one runs in a process of its
// own and the next test loads the plug-in afresh.
void InOwnProcess(const std::function<void()>& body) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            body();
            FailuresToStderr();
            std::fflush(nullptr);
            std::_Exit(::testing::Test::HasFailure() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

// The settings block the station holds, read through the tests' libstalink.
std::vector<uint8_t> StationSettingsBlock(PluginRig& rig) {
    unsigned char f[128] = {};
    EXPECT_EQ(rig.UsbReadParam(f, 3), STALINK_OK);
    return std::vector<uint8_t>(f + 4, f + 26);
}

// Runs `open`, handing every message box shown meanwhile to `messages` and the
// dialog itself, once, to `drive`.
int RunModal(const std::function<int()>& open, const std::function<void(QDialog&)>& drive,
             std::vector<QString>& messages) {
    QDialog* driven = nullptr;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            messages.push_back(box->text());
            box->accept();
        } else if (auto* dialog = qobject_cast<QDialog*>(modal); dialog && dialog != driven) {
            driven = dialog;
            // Not from this timer's slot: a message box the dialog shows must
            // leave the timer free to close it.
            QTimer::singleShot(0, dialog, [&drive, dialog] { drive(*dialog); });
        }
    });
    timer.start(20);
    return open();
}

void Click(QDialog& d, int id) {
    d.findChild<QAbstractButton*>(QStringLiteral("idc_%1").arg(id))->click();
}

void DialogsOpenWithHostTextsAndWriteThroughStalink() {
    PluginRig rig;
    rig.Start();
    rig.Poll();
    const size_t polled = rig.Requests().size();
    std::vector<QString> shown;
    QString title;

    int rc = RunModal([&] { return rig.ShowSetting(&rig.host.module, 0); },
                      [&](QDialog& d) {
                          title = d.windowTitle();
                          d.findChild<QComboBox*>("idc_1133")->setCurrentIndex(1);  // km/h
                          Click(d, 1);
                      },
                      shown);
    EXPECT_EQ(rc, ZQ0093_IDOK);
    EXPECT_EQ(title, "Setting");
    rig.Poll();
    EXPECT_EQ(rig.units.Wind, 1) << "written to the station and read back";

    rc = RunModal([&] { return rig.ShowAlarm(&rig.host.module); },
                  [&](QDialog& d) {
                      title = d.windowTitle();
                      Click(d, 1);
                  },
                  shown);
    EXPECT_EQ(rc, ZQ0093_IDOK);
    EXPECT_EQ(title, "Alarm");

    rc = RunModal([&] { return rig.ShowMaxMin(&rig.host.module); },
                  [&](QDialog& d) {
                      title = d.windowTitle();
                      Click(d, 1020);
                      QTimer::singleShot(200, &d, [&d] { Click(d, 2); });
                  },
                  shown);
    EXPECT_EQ(rc, ZQ0093_IDCANCEL);
    EXPECT_EQ(title, "Max / Min");
    EXPECT_EQ(shown, (std::vector<QString>{"Successfully saved!", "Successfully saved!",
                                           "Successfully clear!"}));

    const std::vector<std::vector<uint8_t>> sent = rig.Requests();
    std::vector<int> dialogs;
    for (size_t i = polled; i < sent.size(); ++i) {
        if (sent[i][1] != 0x04 && sent[i][1] != 0x09) dialogs.push_back(sent[i][1]);
        // The alarm time went through Bcd2Hex and back through Hex2Bcd.
        if (sent[i][1] == 0x86) {
            EXPECT_EQ(sent[i][2] * 256 + sent[i][3], 0x3007);
        }
    }
    // Each dialog reads the station as it opens, the alarm dialog the settings
    // too; the alarm save writes the settings first. The poll between reads
    // the settings as well.
    EXPECT_EQ(dialogs,
              (std::vector<int>{0x08, 0x88, 0x08, 0x08, 0x06, 0x88, 0x86, 0x05, 0x87, 0x05}));
    for (int asked : rig.host.asked) EXPECT_TRUE(kHostIds.count(asked)) << asked;
    EXPECT_GT(rig.host.asked.size(), 60u);
}

TEST(PluginDialogs, OpenWithHostTextsAndWriteThroughStalink) {
    InOwnProcess(DialogsOpenWithHostTextsAndWriteThroughStalink);
}

// Before the first poll the plug-in holds no settings of the station: the
// alarm dialog reads them as it opens, and without them offers no Save.
TEST(PluginDialogs, AlarmSaveBeforeTheFirstPollWritesTheStationsOwnSettingsBack) {
    InOwnProcess([] {
        PluginRig rig;
        rig.Start();
        const std::vector<uint8_t> before = StationSettingsBlock(rig);
        std::vector<QString> shown;
        const int rc = RunModal([&] { return rig.ShowAlarm(&rig.host.module); },
                                [](QDialog& d) { Click(d, 1); }, shown);
        EXPECT_EQ(rc, ZQ0093_IDOK);
        EXPECT_EQ(shown, std::vector<QString>{"Successfully saved!"});
        EXPECT_EQ(StationSettingsBlock(rig), before);

        ASSERT_EQ(rig.SimFault("bad checksum", 1, 0x08, -1), STALINK_OK);
        bool saveable = true;
        RunModal([&] { return rig.ShowAlarm(&rig.host.module); },
                 [&](QDialog& d) {
                     saveable = d.findChild<QWidget*>("idc_1")->isEnabled();
                     d.reject();
                 },
                 shown);
        EXPECT_FALSE(saveable);
    });
}

// A host that unloads the plug-in from a timer while a dialog runs: the
// dialog closes and the host goes on.
TEST(PluginDialogs, UnloadingWhileADialogRunsLeavesTheHostRunning) {
    InOwnProcess([] {
        PluginRig rig;
        rig.Start();
        rig.Poll();
        QTimer::singleShot(300, [&rig] {
            rig.UnloadPlugin();
            QTimer::singleShot(100, [] {
                if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                    d->reject();
            });
        });
        EXPECT_EQ(rig.ShowMaxMin(&rig.host.module), ZQ0093_IDCANCEL);
        QWidget alive;
        alive.show();
        QApplication::processEvents();
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    });
}

TEST(Plugin, HostIdsCarryTheProgramsRoles) {
    for (int h : kHostIds) {
        EXPECT_NE(ProgramId(h), 0) << h;
        EXPECT_EQ(HostId(ProgramId(h)), h) << h;
        EXPECT_TRUE(text::Exists(ProgramId(h))) << h;
    }
    const std::vector<std::pair<int, std::string>> roles = {
        {2013, "Month"},
        {2015, "Total"},
        {2035, "Temperature"},
        {2043, "Channel %d"},
        {2099, "Save failed!"},
        {2101, "Successfully saved!"},
        {2113, "History"},
        {2125, "The minimum temperature can not exceed the maximum temperature!"}};
    for (const auto& [h, role] : roles) EXPECT_EQ(text::Load(ProgramId(h)), role) << h;
    for (int none : {2110, 2112, 2122})
        EXPECT_EQ(HostId(none), 0) << "program id " << none << " has no host text";
    for (int none : {2014, 2111, 2112, 2124}) EXPECT_EQ(ProgramId(none), 0) << "host id " << none;
}

}  // namespace
}  // namespace nimbary::testing
