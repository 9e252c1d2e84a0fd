#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <map>
#include <set>

#include "AccessKeys.h"
#include "CAboutDlg.h"
#include "CDebug.h"
#include "CHistory.h"
#include "CHistoryManage.h"
#include "CLanguage.h"
#include "CTchart1.h"
#include "IniFile.h"
#include "ProgramRig.h"
#include "StationUnits.h"
#include "StringTable.h"

using namespace nimbary;
using nimbary::test::Program;

namespace {

QAction* MenuItem(CMainFrame& frame, int command) {
    for (int m = 0; m < 4; ++m)
        for (QAction* a : frame.Menu(m)->actions())
            if (a->data().toInt() == command) return a;
    return nullptr;
}

// Picks the menu item and hands the modal dialog it opens to `act`; the
// dialog is closed afterwards if `act` left it open. False when no dialog
// of that class came up.
template <class D>
bool RunDialog(Program& p, int command, const std::function<void(D&)>& act = nullptr) {
    QAction* item = MenuItem(p.Frame(), command);
    EXPECT_NE(item, nullptr) << command;
    if (!item) return false;
    bool seen = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) return;
        poll.stop();
        if (D* d = qobject_cast<D*>(modal)) {
            seen = true;
            if (act) act(*d);
        }
        if (modal->isVisible()) static_cast<QDialog*>(modal)->reject();
    });
    poll.start();
    item->trigger();
    return seen;
}

template <class T>
T* Child(QWidget& w, const char* name) {
    T* c = w.findChild<T*>(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
}

int StoredRecords(Program& p, uint32_t id) {
    HistoryDb& db = p.app->Doc().Database();
    db.SelectRecords(id, 0.0, 1e7);
    const int n = db.SelectionCount();
    db.CloseSelection();
    return n;
}

std::vector<uint32_t> Stations(Program& p) {
    std::vector<uint32_t> ids;
    int selected = 0;
    p.app->Doc().Database().FillDeviceList(ids, 0, selected);
    return ids;
}

bool Succeeded(const RecordingMessages& m) {
    for (const auto& s : m.shown)
        if (s.text == text::Load(2099)) return true;
    return false;
}

// Every text of the main window that the string table gives, by where it is.
std::map<std::string, std::string> WindowTexts(Program& p) {
    std::map<std::string, std::string> out;
    CMainFrame& f = p.Frame();
    for (int m = 0; m < 4; ++m) {
        // The string table's texts, whatever access keys mark them.
        out["menu" + std::to_string(m)] = text::WithoutAccessKey(f.Menu(m)->title().toStdString());
        for (QAction* a : f.Menu(m)->actions())
            if (!a->isSeparator())
                out["item" + a->data().toString().toStdString()] =
                    text::WithoutAccessKey(a->text().toStdString());
    }
    out["pane0"] = f.PaneText(0).toStdString();
    out["pane2"] = f.PaneText(2).toStdString();
    LiveDisplay& d = p.View().Display();
    const char* names[] = {"temperature", "humidity", "wind", "pressure", "rain"};
    for (int i = 0; i < kPairCount; ++i) {
        const ValuePanel& panel = d.Panel(Pair(i));
        out[std::string(names[i]) + ".caption"] = panel.Caption().toStdString();
        for (int r = 0; r < panel.RowCount(); ++r)
            out[std::string(names[i]) + ".row" + std::to_string(r)] = panel.Label(r).toStdString();
        const MiniGraph& graph = d.Graph(Pair(i));
        for (int s = 0; s < graph.SeriesCount(); ++s)
            out[std::string(names[i]) + ".series" + std::to_string(s)] =
                graph.Name(s).toStdString();
    }
    return out;
}

// What WindowTexts must hold in `lang`: string ids by place, and literals.
std::map<std::string, std::string> Expected(text::Language lang, bool connected) {
    const std::map<std::string, int> ids = {{"menu0", 2103},
                                            {"menu1", 2106},
                                            {"menu2", 2111},
                                            {"menu3", 2113},
                                            {"item57665", 2104},
                                            {"item32771", 2107},
                                            {"item32773", 2108},
                                            {"item32772", 2109},
                                            {"item32774", 2110},
                                            {"item32775", 2063},
                                            {"item32776", 2115},
                                            {"item57664", 2114},
                                            {"pane0", 57345},
                                            {"pane2", connected ? 2091 : 2092},
                                            {"temperature.caption", 2034},
                                            {"humidity.caption", 2035},
                                            {"wind.caption", 2049},
                                            {"pressure.caption", 2000},
                                            {"rain.caption", 2023},
                                            {"wind.row0", 2049},
                                            {"wind.row1", 2050},
                                            {"wind.row2", 2051},
                                            {"pressure.row0", 2001},
                                            {"pressure.row1", 2002},
                                            {"rain.row2", 2010},
                                            {"rain.row3", 2011},
                                            {"rain.row5", 2012},
                                            {"rain.row6", 2013},
                                            {"rain.row7", 2014},
                                            {"wind.series0", 2049},
                                            {"wind.series1", 2050},
                                            {"pressure.series0", 2002},
                                            {"rain.series0", 2010}};
    std::map<std::string, std::string> out;
    for (const auto& [place, id] : ids) out[place] = text::Load(id, lang);
    out["item57664"] += "...";
    return out;
}

// The places of `expected` as `actual` has them.
std::map<std::string, std::string> Pick(const std::map<std::string, std::string>& actual,
                                        const std::map<std::string, std::string>& expected) {
    std::map<std::string, std::string> out;
    for (const auto& [place, text] : expected) {
        auto it = actual.find(place);
        out[place] = it == actual.end() ? "<missing>" : it->second;
    }
    return out;
}

QString QtYes() {
    QMessageBox box(QMessageBox::Question, "", "", QMessageBox::Yes | QMessageBox::No);
    return box.button(QMessageBox::Yes)->text();
}

struct LanguageGuard {
    ~LanguageGuard() { ApplyLanguage(0, false, QString()); }
};

QRect In(QWidget& dialog, QWidget* w) {
    return QRect(w->mapTo(&dialog, QPoint(0, 0)), w->size());
}

// The input control that stands in `dialog` at the right of `label`, as
// its caption's control, or none when the label is a unit after a control.
QWidget* ControlBeside(QWidget& dialog, QLabel* label) {
    const QRect l = In(dialog, label);
    QWidget* right = nullptr;
    for (QWidget* w : dialog.findChildren<QWidget*>()) {
        const bool input = qobject_cast<QComboBox*>(w) || qobject_cast<QLineEdit*>(w) ||
                           qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QCheckBox*>(w);
        if (!input || !w->isVisibleTo(&dialog) || qobject_cast<QAbstractSpinBox*>(w->parent()))
            continue;
        const QRect c = In(dialog, w);
        if (std::abs(c.center().y() - l.center().y()) > 8) continue;
        if (c.left() > l.right() - 2 && c.left() <= l.right() + 16) right = w;
        if (c.right() < l.left() + 2 && c.right() >= l.left() - 8) return nullptr;
    }
    return right;
}

// Alt and a key reaches every caption's control, and no key is used twice
// among the labels, buttons and group boxes of `dialog`.
void ExpectAccessKeys(QWidget& dialog, const std::string& where) {
    std::map<QKeySequence, QString> seen;
    for (QWidget* w : dialog.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&dialog)) continue;
        QString text;
        if (auto* label = qobject_cast<QLabel*>(w)) {
            QWidget* control = ControlBeside(dialog, label);
            if (control || label->buddy()) {
                EXPECT_EQ(label->buddy(), control) << where << ": " << label->text().toStdString();
                EXPECT_FALSE(QKeySequence::mnemonic(label->text()).isEmpty())
                    << where << ": " << label->text().toStdString();
                text = label->text();
            }
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            text = button->text();
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            text = group->title();
        }
        const QKeySequence key = QKeySequence::mnemonic(text);
        if (key.isEmpty()) continue;
        const auto [it, fresh] = seen.emplace(key, text);
        EXPECT_TRUE(fresh) << where << ": " << text.toStdString() << " and "
                           << it->second.toStdString() << " share " << key.toString().toStdString();
    }
}

// Each of `texts` has a key, and none shares it with another.
void ExpectOwnKeys(const std::vector<QString>& texts, const std::string& where) {
    std::set<QKeySequence> keys;
    for (const QString& t : texts) {
        const QKeySequence key = QKeySequence::mnemonic(t);
        EXPECT_FALSE(key.isEmpty()) << where << ": " << t.toStdString();
        EXPECT_TRUE(keys.insert(key).second) << where << ": " << t.toStdString();
    }
}

// The menu bar's titles, and each menu's items.
void ExpectMenuKeys(CMainFrame& frame, const std::string& where) {
    std::vector<QString> titles;
    for (int m = 0; m < 4; ++m) {
        titles.push_back(frame.Menu(m)->title());
        std::vector<QString> items;
        for (QAction* a : frame.Menu(m)->actions())
            if (!a->isSeparator()) items.push_back(a->text());
        ExpectOwnKeys(items, where + ", menu " + std::to_string(m));
    }
    ExpectOwnKeys(titles, where + ", menu bar");
}

}  // namespace

TEST(MenuDialogs, EachCommandOpensItsDialog) {
    Program p;
    IniFile(IniPath(p.dataDir)).Write("Menu", "Debug", "1");
    p.Frame().RefreshMenuTexts(false);
    p.app->Start(false);
    EXPECT_TRUE(RunDialog<CLanguage>(p, ID_LANGUAGE));
    EXPECT_TRUE(RunDialog<CHistoryManage>(p, ID_HISTORY_MANAGE));
    EXPECT_TRUE(RunDialog<CDebug>(p, ID_DEBUG, [](CDebug& d) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !d.LineAt(50).isEmpty(); }, 3000));
    }));
    EXPECT_TRUE(RunDialog<CAboutDlg>(p, ID_APP_ABOUT));
}

TEST(MenuDialogs, SwitchingLanguageChangesTheWholeWindowAtOnce) {
    LanguageGuard guard;
    Program p;
    p.app->Start(false);
    p.WaitTicks(1);
    ASSERT_EQ(QtYes(), "&Yes");
    struct Step {
        int choice;
        text::Language lang;
        const char* saved;
    };
    for (const Step& s : {Step{1, text::Language::Chinese, "Chinese"},
                          Step{0, text::Language::English, "English"}}) {
        ASSERT_TRUE(RunDialog<CLanguage>(p, ID_LANGUAGE, [&](CLanguage& d) {
            Child<QComboBox>(d, "idc_1117")->setCurrentIndex(s.choice);
            Child<QPushButton>(d, "idc_1")->click();
        }));
        // Nothing pumped in between: the texts changed before the dialog closed.
        const auto expected = Expected(s.lang, true);
        EXPECT_EQ(Pick(WindowTexts(p), expected), expected) << s.saved;
        EXPECT_EQ(IniFile(IniPath(p.dataDir)).Read("Language", "Default"), s.saved);
        EXPECT_EQ(IniFile(IniPath(p.dataDir)).Read("About", "Copyright"),
                  IniFile(NIMBARY_MAIN_INI).Read("About", "Copyright"));  // the rest kept
        // Qt's own texts follow, for the message boxes and file dialogs opened later.
        EXPECT_EQ(QtYes() == "&Yes", s.lang == text::Language::English) << QtYes().toStdString();
    }
    EXPECT_TRUE(p.messages.shown.empty());

    // Cancel changes nothing.
    ASSERT_TRUE(RunDialog<CLanguage>(p, ID_LANGUAGE, [&](CLanguage& d) {
        Child<QComboBox>(d, "idc_1117")->setCurrentIndex(1);
        Child<QPushButton>(d, "idc_2")->click();
    }));
    EXPECT_EQ(text::CurrentLanguage(), text::Language::English);
    EXPECT_EQ(IniFile(IniPath(p.dataDir)).Read("Language", "Default"), "English");
}

TEST(MenuDialogs, ALanguageThatCannotBeSavedStillSwitchesAndSaysSo) {
    LanguageGuard guard;
    Program p;
    // A main.ini that cannot be replaced (a folder stands in its place, which
    // even root cannot write over).
    QFile::remove(IniPath(p.dataDir));
    ASSERT_TRUE(QDir().mkdir(IniPath(p.dataDir)));
    ASSERT_TRUE(RunDialog<CLanguage>(p, ID_LANGUAGE, [&](CLanguage& d) {
        Child<QComboBox>(d, "idc_1117")->setCurrentIndex(1);
        Child<QPushButton>(d, "idc_1")->click();
    }));
    EXPECT_EQ(text::CurrentLanguage(), text::Language::Chinese);
    EXPECT_EQ(p.Frame().Menu(0)->title().toStdString(),
              text::WithAccessKey(text::Load(2103, text::Language::Chinese), 'F'));
    ASSERT_EQ(p.messages.shown.size(), 1u);
    EXPECT_EQ(p.messages.shown[0].text, text::Format(2125, {IniPath(p.dataDir).toStdString()}));
    EXPECT_EQ(p.messages.shown[0].icon, MessageIcon::Warning);
}

TEST(MenuDialogs, ClearingTheDatabaseRemovesTheStationUntilTheNextDownload) {
    Program p(1);
    p.app->Start(false);
    const uint32_t id = p.sim->Station().DevId();
    ASSERT_TRUE(p.WaitFor([&] { return StoredRecords(p, id) > 0; }, 15000));
    const int stored = StoredRecords(p, id);

    // Unplugged, so no download comes in between.
    p.sim->Unplug();
    ASSERT_TRUE(p.WaitFor([&] { return p.Frame().PaneText(2) == "Unconnected"; }));
    p.messages.answer = true;
    ASSERT_TRUE(RunDialog<CHistoryManage>(p, ID_HISTORY_MANAGE, [&](CHistoryManage& d) {
        EXPECT_FALSE(Child<QPushButton>(d, "idc_1120")->isEnabled());
        QComboBox* list = Child<QComboBox>(d, "idc_1122");
        ASSERT_EQ(list->count(), 1);
        Child<QPushButton>(d, "idc_1119")->click();
        EXPECT_EQ(list->count(), 0);
    }));
    EXPECT_TRUE(Succeeded(p.messages));
    EXPECT_EQ(StoredRecords(p, id), 0);
    EXPECT_TRUE(Stations(p).empty());

    // No bookmark left: the next download takes the whole memory again.
    p.sim->Plug();
    ASSERT_TRUE(p.WaitFor([&] { return StoredRecords(p, id) >= stored; }, 15000));
    EXPECT_EQ(Stations(p), std::vector<uint32_t>{id});
}

TEST(MenuDialogs, ClearingTheStationEmptiesItsMemoryOnlyWhileConnected) {
    Program p(1);
    p.app->Start(false);
    ASSERT_TRUE(p.WaitFor([&] { return p.Frame().windowTitle().toStdString() == p.Title(); }));
    p.messages.answer = true;
    ASSERT_TRUE(RunDialog<CHistoryManage>(p, ID_HISTORY_MANAGE, [&](CHistoryManage& d) {
        EXPECT_EQ(Child<QLabel>(d, "idc_1123")->text().toStdString(), p.Title().substr(10));
        Child<QPushButton>(d, "idc_1120")->click();
    }));
    EXPECT_TRUE(Succeeded(p.messages));
    EXPECT_TRUE(p.sim->Station().Memory().Empty());
    EXPECT_EQ(p.counting->CountOf(0x87), 1);

    // Unplugged after the dialog opened: the button is still there, nothing goes out.
    p.messages.shown.clear();
    ASSERT_TRUE(RunDialog<CHistoryManage>(p, ID_HISTORY_MANAGE, [&](CHistoryManage& d) {
        p.sim->Unplug();
        ASSERT_TRUE(p.WaitFor([&] { return p.Frame().PaneText(2) == "Unconnected"; }));
        Child<QPushButton>(d, "idc_1120")->click();
    }));
    EXPECT_FALSE(Succeeded(p.messages));
    EXPECT_EQ(p.counting->CountOf(0x87), 1);
}

TEST(MenuDialogs, ALateAnswerTakesEffectWithoutAMessage) {
    // Once armed, holds a download inside its save until released.
    struct Gate {
        std::atomic<bool> armed{false}, entered{false}, released{false};
    };
    auto gate = std::make_shared<Gate>();
    Program p(1);
    p.app->Doc().Database().SetSaveHook([gate] {
        if (!gate->armed) return;
        gate->entered = true;
        for (int i = 0; i < 1000 && !gate->released; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    });
    struct Release {
        std::shared_ptr<Gate> g;
        ~Release() { g->released = true; }
    } release{gate};
    p.app->Start(false);
    const uint32_t id = p.sim->Station().DevId();
    ASSERT_TRUE(p.WaitFor([&] { return StoredRecords(p, id) > 0; }, 15000));

    // New records, and a download pass for them that stops in its save.
    gate->armed = true;
    p.sim->Station().AdvanceClock(900);
    p.sim->Unplug();
    p.sim->Plug();
    ASSERT_TRUE(p.WaitFor([&] { return gate->entered.load(); }, 15000));

    // The program's dialog, waiting less than the user does.
    struct ShortWait : HistoryCommands {
        DocHistoryCommands doc;
        explicit ShortWait(CNimbaryDoc& d) : doc(d) {}
        int Run(Kind kind, uint32_t devId, std::chrono::milliseconds) override {
            return doc.Run(kind, devId, std::chrono::milliseconds(300));
        }
    } shortWait(p.app->Doc());
    p.messages.answer = true;
    {
        CHistoryManage d(p.app->Doc().Database(), true, id, shortWait, p.messages, &p.Frame());
        Child<QPushButton>(d, "idc_1119")->click();
        EXPECT_EQ(Child<QComboBox>(d, "idc_1122")->count(), 1);  // no answer in time
        // A second command while the first still waits is refused, not put in its place.
        Child<QPushButton>(d, "idc_1120")->click();
    }
    EXPECT_FALSE(Succeeded(p.messages));
    EXPECT_EQ(p.messages.asked.size(), 2u);

    // Unplugged, so nothing is downloaded again after the clear.
    p.sim->Unplug();
    ASSERT_TRUE(p.WaitFor([&] { return p.Frame().PaneText(2) == "Unconnected"; }));
    gate->released = true;
    // The pass stores its batch, then the command clears everything.
    ASSERT_TRUE(p.WaitFor([&] { return Stations(p).empty() && StoredRecords(p, id) == 0; }, 12000));
    EXPECT_FALSE(Succeeded(p.messages));
    EXPECT_EQ(p.counting->CountOf(0x87), 0);
}

TEST(MenuDialogs, EveryMenuAndDialogHasItsOwnAccessKeysInBothLanguages) {
    LanguageGuard guard;
    Program p(1);
    IniFile(IniPath(p.dataDir)).Write("Menu", "Debug", "1");
    p.app->Start(false);
    ASSERT_TRUE(p.WaitFor([&] { return p.Frame().windowTitle().toStdString() == p.Title(); }));
    const std::pair<int, const char*> dialogs[] = {{ID_SETTING, "Setting"},
                                                   {ID_ALARM, "Alarm"},
                                                   {ID_MAXMIN, "Max / Min"},
                                                   {ID_LANGUAGE, "Language"},
                                                   {ID_HISTORY_VIEW, "View"},
                                                   {ID_DEBUG, "Debug"},
                                                   {ID_HISTORY_MANAGE, "History Manage"},
                                                   {ID_APP_ABOUT, "About"}};
    for (int language : {0, 1}) {
        ApplyLanguage(language, false, p.dataDir);
        p.Frame().RefreshMenuTexts(true);
        const std::string lang = language ? "Chinese" : "English";
        ExpectMenuKeys(p.Frame(), lang);
        for (const auto& [command, name] : dialogs)
            EXPECT_TRUE(RunDialog<QDialog>(p, command, [&](QDialog& d) {
                ExpectAccessKeys(d, lang + " " + name);
                // The colour bounds' labels show for a temperature only.
                if (auto* colorBy = d.findChild<QComboBox*>("idc_1145")) {
                    colorBy->setCurrentIndex(1);
                    ExpectAccessKeys(d, lang + " " + name + " by indoor temperature");
                }
            })) << name;
    }
}

TEST(MenuDialogs, CtrlQQuitsAndAltWithAKeyOpensItsMenu) {
    Program p;
    p.app->Start(true);
    CMainFrame& frame = p.Frame();
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    QTest::keyClick(&frame, Qt::Key_S, Qt::AltModifier);
    EXPECT_TRUE(p.WaitFor([&] { return frame.Menu(2)->isVisible(); }));  // Hi&story
    QTest::keyClick(frame.Menu(2), Qt::Key_Escape);
    ASSERT_TRUE(p.WaitFor([&] { return QApplication::activePopupWidget() == nullptr; }));
    QTest::keyClick(frame.menuBar(), Qt::Key_Escape);  // and out of the menu bar

    // Exit closes the window, the program's last, which ends its event loop.
    std::vector<int> commands;
    QObject::connect(&frame, &CMainFrame::commandTriggered,
                     [&](int id) { commands.push_back(id); });
    QTest::keyClick(&frame, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(commands, std::vector<int>{ID_APP_EXIT});
    EXPECT_FALSE(frame.isVisible());
}

TEST(MenuDialogs, TheAboutBoxSaysTheVersionTheProgramSays) {
    QProcess program;
    program.start(NIMBARY_PROGRAM, {"--version"});
    ASSERT_TRUE(program.waitForFinished(30000));
    const QString said = QString::fromUtf8(program.readAllStandardOutput()).trimmed();
    const QStringList parts = said.section(' ', 1).split('.');  // "nimbary 1.2.0"
    ASSERT_EQ(parts.size(), 3) << said.toStdString();

    Program p;
    ASSERT_TRUE(RunDialog<CAboutDlg>(p, ID_APP_ABOUT, [&](CAboutDlg& about) {
        // The template text's wording, to the minor version.
        EXPECT_EQ(Child<QLabel>(about, "idc_1114")->text(),
                  "Nimbary, Version " + parts[0] + "." + parts[1]);
    }));
}

// A station set to units other than a new station's defaults: its row keeps
// them, the display units stay with them through every download pass (a
// pass reloading the row used to put the defaults back until the next
// poll), and the browser's table and chart and the Debug lines show them.
TEST(MenuDialogs, TheStationsOwnUnitsReachTheRowTheBrowserAndTheDebugLines) {
    Program p(1);
    IniFile(IniPath(p.dataDir)).Write("Menu", "Debug", "1");
    p.Frame().RefreshMenuTexts(false);
    const UnitSet station{0, 2, 3, 0, 0};  // °C, mmHg, knots, mm
    nimbary::testing::SetStationUnits(p.sim->Station(), station);
    auto same = [&station](const UnitSet& u) {
        return u.TempUnit == station.TempUnit && u.BaroUnit == station.BaroUnit &&
               u.WindUnit == station.WindUnit && u.RainUnit == station.RainUnit;
    };
    std::atomic<int> settingsReads{0}, strayed{0};
    p.counting->OnRequest([&](uint8_t code) {
        if (code == 0x08) ++settingsReads;
        // Once read (the first reply decoded), at every exchange of either thread.
        if (settingsReads >= 3 && !same(Units())) ++strayed;
    });
    p.app->Start(false);
    ASSERT_TRUE(p.WaitFor([&] { return p.app->Doc().DownloadPasses() >= 2; }, 20000));
    const uint32_t id = p.sim->Station().DevId();
    EXPECT_EQ(strayed.load(), 0);
    EXPECT_TRUE(same(Units()));
    {
        RecordingMessages quiet;
        HistoryDb db(&quiet);
        ASSERT_EQ(db.Open(DatabasePath(p.dataDir).toStdString()), 0);
        ASSERT_EQ(db.ReadDevice(id), 0);
        ASSERT_TRUE(db.DeviceFound());
        EXPECT_TRUE(same(db.Info().Units));
    }

    ASSERT_TRUE(RunDialog<CHistory>(p, ID_HISTORY_VIEW, [&](CHistory& d) {
        d.Update();
        std::vector<std::string> headers;
        for (int c = 0; c < d.Table().ColumnCount(); ++c)
            headers.push_back(d.Table().HeaderText(c));
        for (const char* h :
             {"Out Temp.(°C)", "Wind(knots)", "ABS Pressure(mmHg)", "Rain Total(mm)"})
            EXPECT_NE(std::find(headers.begin(), headers.end(), h), headers.end()) << h;
        auto* graphs = Child<QComboBox>(d, "idc_1158");
        graphs->setCurrentIndex(graphs->findText("Pressure"));
        EXPECT_EQ(d.Chart().Series(0)->name().toStdString(), "Absolute Pressure(mmHg)");
    }));
    ASSERT_TRUE(RunDialog<CDebug>(p, ID_DEBUG, [&](CDebug& d) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !d.LineAt(210).isEmpty(); }, 3000));
        EXPECT_TRUE(d.LineAt(130).contains(" mm")) << d.LineAt(130).toStdString();
        EXPECT_TRUE(d.LineAt(210).contains("°C")) << d.LineAt(210).toStdString();
    }));
    p.counting->OnRequest(nullptr);
}
