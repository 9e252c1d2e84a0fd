// Writes pictures of the menus and of the language, about, history-management
// and debug dialogs in both languages, and of the main window right after the switch to
// Chinese, against the simulated station, for looking at: dialog_samples <dir>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QEventLoop>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "CNimbaryApp.h"
#include "DataFolder.h"
#include "GuiThread.h"
#include "QtMessages.h"
#include "SimBackend.h"
#include "SimOptions.h"
#include "StationLock.h"
#include "StringTable.h"

using namespace nimbary;

namespace {

void Pump(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool Save(QWidget* w, const QString& path) {
    const bool ok = w->grab().save(path);
    std::printf("%s%s\n", qPrintable(path), ok ? "" : ": cannot write");
    return ok;
}

// Runs `open`; `act` gets the modal dialog it brings up, which is closed
// afterwards unless `act` closed it.
void WithDialog(const std::function<void()>& open, const std::function<void(QDialog&)>& act) {
    QWidget* before = QApplication::activeModalWidget();
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!d || d == before) return;
        poll.stop();
        Pump(300);  // laid out and painted
        act(*d);
        if (d->isVisible()) d->reject();
    });
    poll.start();
    open();
}

void WithMenuDialog(CMainFrame& frame, int command, const std::function<void(QDialog&)>& act) {
    WithDialog(
        [&] {
            for (int m = 0; m < 4; ++m)
                for (QAction* a : frame.Menu(m)->actions())
                    if (a->data().toInt() == command) a->trigger();
        },
        act);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? argv[1] : ".";
    QTemporaryDir root, programDir;
    const QString data = root.filePath("data");
    QFile::copy(NIMBARY_MAIN_INI, programDir.filePath("main.ini"));
    StderrMessages messages;
    PrepareDataFolder(programDir.path(), data, messages);
    IniFile ini(IniPath(data));
    ini.Write("Menu", "Debug", "1");
    ini.Write("About", "Web", "https://nimbary.example.org/");

    sim::SimOptions o;
    o.simulate = true;
    o.days = 1;
    std::string error;
    auto sim = sim::MakeSimBackend(o, error);
    if (!sim) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    sim->SetNoticePoster(
        [](std::function<void()> f) { nimbary::PostToGuiThread(qApp, std::move(f), true); });
    CNimbaryApp program(*sim, sim.get(), data,
                        StationLock::SimulatedStationPath(DatabasePath(data).toStdString()),
                        messages);
    program.Start(true);
    for (int i = 0; i < 100 && program.Doc().DownloadPasses() < 1; ++i) Pump(100);
    Pump(1500);

    int failures = 0;
    auto shoot = [&](int command, const char* name, const char* lang) {
        WithMenuDialog(program.Frame(), command, [&](QDialog& d) {
            if (command == ID_DEBUG) Pump(1200);  // the first look at the memory
            failures += !Save(&d, dir + "/" + name + "-" + lang + ".png");
        });
    };
    // Each menu as Alt and its key opens it, with the menu bar: the screen's
    // picture where there is one (xvfb-run), else the menu's own.
    auto shootMenus = [&](const char* lang) {
        CMainFrame& frame = program.Frame();
        frame.activateWindow();
        Pump(200);
        for (int m = 0; m < 4; ++m) {
            QMenu* menu = frame.Menu(m);
            QTest::keyClick(&frame, QKeySequence::mnemonic(menu->title())[0].key(),
                            Qt::AltModifier);
            Pump(300);
            const QString path = dir + "/menu" + QString::number(m) + "-" + lang + ".png";
            const QRect area = frame.frameGeometry().united(menu->geometry());
            QPixmap shot = frame.screen()->grabWindow(0, area.x(), area.y(), area.width(),
                                                      qMin(area.height(), 300));
            if (QGuiApplication::platformName() == "offscreen") shot = menu->grab();
            const bool ok = menu->isVisible() && shot.save(path);
            std::printf("%s%s\n", qPrintable(path), ok ? "" : ": not open, or cannot write");
            failures += !ok;
            menu->hide();
            Pump(100);
        }
    };
    for (const char* lang : {"en", "zh"}) {
        shootMenus(lang);
        shoot(ID_HISTORY_MANAGE, "history-manage", lang);
        shoot(ID_DEBUG, "debug", lang);
        shoot(ID_APP_ABOUT, "about", lang);
        WithMenuDialog(program.Frame(), ID_LANGUAGE, [&](QDialog& d) {
            failures += !Save(&d, dir + "/language-" + lang + ".png");
            d.findChild<QComboBox*>("idc_1117")->setCurrentIndex(1);
            d.findChild<QPushButton*>("idc_1")->click();
        });
    }
    // Nothing pumped since the switch: the window as it is at once.
    failures += !Save(&program.Frame(), dir + "/main-zh.png");
    // Qt's own dialogs in Chinese: a question and the dump's save dialog.
    WithDialog([&] { QtMessages(&program.Frame()).AskYesNo(text::Format(2118, {"89025CC1"}), ""); },
               [&](QDialog& d) { failures += !Save(&d, dir + "/question-zh.png"); });
    WithMenuDialog(program.Frame(), ID_DEBUG, [&](QDialog& debug) {
        WithDialog([&] { debug.findChild<QPushButton*>("idc_1161")->click(); },
                   [&](QDialog& d) { failures += !Save(&d, dir + "/save-zh.png"); });
    });
    program.Stop();
    return failures ? 1 : 0;
}
