// nimbary: the desktop program.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <csignal>
#include <cstdio>

#include "BackendChoice.h"
#include "CMainFrame.h"
#include "CNimbaryApp.h"
#include "DataFolder.h"
#include "GuiThread.h"
#include "InstanceGuard.h"
#include "QtMessages.h"
#include "SimBackend.h"
#include "StationLock.h"
#include "StringTable.h"
#include "UdevWatcher.h"

using namespace nimbary;

namespace {

// The usage lines, as the README shows them.
const char* kUsage =
    "usage: nimbary [station options] [--screenshot PATH --quit-after SECS]\n"
    "       nimbary --help | --version\n";
const char* kOptions =
    "\n"
    "  --screenshot PATH   save a picture of the main window when quitting after a time\n"
    "  --quit-after SECS   run for SECS seconds, then quit\n"
    "  --help              this text\n"
    "  --version           the program's version\n"
    "\nStation options:\n";

struct AppOptions {
    BackendOptions backend;
    QString screenshot;
    double quitAfter = -1;
};

// Runs before QApplication exists, so that --help, --version and a mistake
// are answered on a machine without a screen as well. Qt's own options
// (-platform NAME, -reverse ...) are left to QApplication.
bool ParseArgs(int argc, char** argv, AppOptions& o, std::string& error) {
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& a : args)
        if (a == "--help" || a == "-h" || a == "--version") {
            error = a == "--version" ? "version" : "help";
            return false;
        }
    error = BackendOptions::Parse(args, o.backend);
    if (!error.empty()) return false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--screenshot") {
            if (!value(v)) return false;
            o.screenshot = QString::fromStdString(v);
        } else if (a == "--quit-after") {
            if (!value(v)) return false;
            char* end = nullptr;
            o.quitAfter = std::strtod(v.c_str(), &end);
            if (end == v.c_str() || *end || o.quitAfter < 0) {
                error = "--quit-after needs a number of seconds, not '" + v + "'";
                return false;
            }
        } else if (a.size() > 1 && a[0] == '-' && a[1] != '-') {
            if (i + 1 < args.size() && args[i + 1].rfind('-', 0) != 0) ++i;  // its value
        } else {
            error = "unknown option '" + a + "'";
            return false;
        }
    }
    if (!o.screenshot.isEmpty() && o.quitAfter < 0) {
        error = "--screenshot needs --quit-after";
        return false;
    }
    return true;
}

// A start on a data folder that a running copy has: that copy's window comes
// to the front where it can, else the user is told it runs. A guard that
// cannot be taken at all is said as well, never passed over in silence.
int SecondStart(const InstanceGuard& guard, const QString& dataDir) {
    if (guard.Status() == InstanceGuard::State::Running && guard.AskToRaise()) return 0;
    ApplyLanguage(ReadLanguage(dataDir), false, dataDir);
    const bool running = guard.Status() == InstanceGuard::State::Running;
    const std::string folder = QDir::toNativeSeparators(dataDir).toStdString();
    const std::string text = running ? text::Format(2150, {folder})
                                     : text::Format(2151, {folder, guard.Problem().toStdString()});
    std::fprintf(stderr, "nimbary: %s\n", text.c_str());
    QtMessages().Show(text, running ? MessageIcon::Information : MessageIcon::Error, "");
    return running ? 0 : 1;
}

void BringToFront(QWidget& window) {
    if (window.isMinimized())
        window.showNormal();
    else
        window.show();
    window.raise();
    window.activateWindow();
    if (QWidget* modal = QApplication::activeModalWidget()) modal->raise();
}

}  // namespace

int main(int argc, char** argv) {
    // Past a file-size limit (ulimit -f) a write then fails with EFBIG and is
    // told as a full disk, instead of the signal ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    AppOptions options;
    std::string error;
    if (!ParseArgs(argc, argv, options, error)) {
        if (error == "help") {
            std::printf("%s%s%s%s", kUsage, kOptions, BackendOptions::Usage(),
                        sim::SimOptions::Usage());
            return 0;
        }
        if (error == "version") {
            std::printf("nimbary %s\n", NIMBARY_VERSION);
            return 0;
        }
        std::fprintf(stderr, "nimbary: %s\n%s(see 'nimbary --help')\n", error.c_str(), kUsage);
        return 2;
    }

    // A picture asked for on a machine without a screen needs no display server.
    if (!options.screenshot.isEmpty() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName("Nimbary");
    QApplication::setApplicationVersion(NIMBARY_VERSION);
    QGuiApplication::setDesktopFileName("org.nimbary.Nimbary");  // the menu entry's icon and name

    const QString dataDir = DefaultDataFolder();

    // Armed before anything can ask the user, so a run without a screen ends
    // on time even when a start-up message box is waiting for a click.
    QPointer<QWidget> shotOf;
    bool quitting = false;
    if (options.quitAfter >= 0) {
        QTimer::singleShot(int(options.quitAfter * 1000), &app, [&] {
            if (shotOf && !options.screenshot.isEmpty() && !shotOf->grab().save(options.screenshot))
                std::fprintf(stderr, "nimbary: cannot save %s\n",
                             options.screenshot.toLocal8Bit().constData());
            quitting = true;
            QCoreApplication::exit(0);  // also ends the loop of a modal box
        });
    }

    InstanceGuard guard(dataDir);
    if (!guard.Acquired()) return SecondStart(guard, dataDir);

    QtMessages messages;
    PrepareDataFolder(TemplateFolder(QCoreApplication::applicationDirPath()), dataDir, messages);

    auto backends = Backends::Make(options.backend, "nimbary", error);
    if (!backends) {
        std::fprintf(stderr, "nimbary: %s\n", error.c_str());
        messages.Show(error, MessageIcon::Error, "");
        return 1;
    }
    const std::string dbPath = DatabasePath(dataDir).toStdString();
    // The real station's lock is its own device node; a simulated one locks
    // beside its database.
    const std::string lockFile =
        backends->Simulated() ? StationLock::SimulatedStationPath(dbPath) : std::string();

    // Notices reach the GUI thread: udev through the event loop, the
    // simulator through a queued call.
    UdevWatcher udev;
    DeviceNoticeSource* notices = nullptr;
    if (sim::SimBackend* s = backends->Sim()) {
        s->SetNoticePoster([&app](std::function<void()> f) {
            PostToGuiThread(&app, std::move(f), true);
        });
        notices = s;
    } else if (!backends->Simulated()) {
        notices = &udev;
    }

    CNimbaryApp program(backends->Active(), notices, dataDir, lockFile, messages);
    CMainFrame& frame = program.Frame();
    messages.SetParent(&frame);
    guard.Listen([&frame] { BringToFront(frame); });
    program.Start();
    shotOf = &frame;

    int rc = quitting ? 0 : app.exec();
    // The worker threads use the view and the station: end them first.
    program.Stop();
    return rc;
}
