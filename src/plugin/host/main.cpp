// zq0093-host: a small host for the ZQ0093 plug-in, its tests' and a demo's.
#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "BackendChoice.h"
#include "HostWindow.h"
#include "UdevWatcher.h"

using namespace nimbary;

namespace {

// The usage lines, as the README shows them.
const char* kUsage =
    "usage: zq0093-host [--plugin PATH] [--lang en|zh] [--open DIALOG] [station options] "
    "[--screenshot PATH --quit-after SECS]\n"
    "       zq0093-host --help | --version\n";
const char* kOptions =
    "\n"
    "  --plugin PATH       the plug-in to load (default: libZQ0093.so beside this program)\n"
    "  --lang en|zh        the language of the host's texts (default en)\n"
    "  --open DIALOG       open setting, alarm or maxmin once the display is up\n"
    "  --screenshot PATH   save a picture of the window (or the open dialog) when quitting\n"
    "  --quit-after SECS   run for SECS seconds, then quit\n"
    "  --help              this text\n"
    "  --version           the program's version\n"
    "\nStation options, handed to the plug-in's station library in NIMBARY_STALINK:\n";

struct HostOptions {
    std::string plugin;
    text::Language language = text::Language::English;
    std::string open;
    QString screenshot;
    double quitAfter = -1;
    std::vector<std::string> station;  // as given, for NIMBARY_STALINK
    bool simulated = false;            // a simulated or replayed station
};

// Runs before QApplication exists, so that --help, --version and a mistake
// are answered on a machine without a screen as well. Qt's own options
// (-platform NAME, -reverse ...) are left to QApplication.
bool ParseArgs(int argc, char** argv, HostOptions& o, std::string& error) {
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& a : args)
        if (a == "--help" || a == "-h" || a == "--version") {
            error = a == "--version" ? "version" : "help";
            return false;
        }
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
        if (a == "--plugin") {
            if (!value(o.plugin)) return false;
        } else if (a == "--lang") {
            if (!value(v)) return false;
            if (v != "en" && v != "zh") {
                error = "--lang takes en or zh, not '" + v + "'";
                return false;
            }
            o.language = v == "zh" ? text::Language::Chinese : text::Language::English;
        } else if (a == "--open") {
            if (!value(o.open)) return false;
            if (o.open != "setting" && o.open != "alarm" && o.open != "maxmin") {
                error = "--open takes setting, alarm or maxmin, not '" + o.open + "'";
                return false;
            }
        } else if (a == "--screenshot") {
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
            if (a.find_first_of(" \t\n") != std::string::npos) {
                error = "station options cannot contain spaces: '" + a + "'";
                return false;
            }
            o.station.push_back(a);
        }
    }
    if (!o.screenshot.isEmpty() && o.quitAfter < 0) {
        error = "--screenshot needs --quit-after";
        return false;
    }
    // The station library reads these itself; what it would refuse is
    // refused here, where the user sees why.
    std::vector<std::string> station = o.station;
    BackendOptions backend;
    error = BackendOptions::Parse(station, backend);
    if (error.empty() && !station.empty()) error = "unknown option '" + station.front() + "'";
    o.simulated = backend.Simulated();
    return error.empty();
}

std::string Joined(const std::vector<std::string>& words) {
    std::string s;
    for (const std::string& w : words) s += (s.empty() ? "" : " ") + w;
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    HostOptions options;
    std::string error;
    if (!ParseArgs(argc, argv, options, error)) {
        if (error == "help") {
            std::printf("%s%s%s%s", kUsage, kOptions, BackendOptions::Usage(),
                        sim::SimOptions::Usage());
            return 0;
        }
        if (error == "version") {
            std::printf("zq0093-host %s\n", NIMBARY_VERSION);
            return 0;
        }
        std::fprintf(stderr, "zq0093-host: %s\n%s(see 'zq0093-host --help')\n", error.c_str(),
                     kUsage);
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("zq0093-host");
    QApplication::setApplicationVersion(NIMBARY_VERSION);
    if (!options.station.empty()) setenv("NIMBARY_STALINK", Joined(options.station).c_str(), 1);
    text::SetLanguage(options.language);

    const std::string path =
        options.plugin.empty()
            ? (QCoreApplication::applicationDirPath() + "/libZQ0093.so").toStdString()
            : options.plugin;
    PluginLibrary plugin;
    if (!plugin.Load(path, error)) {
        std::fprintf(stderr, "zq0093-host: %s\n", error.c_str());
        return 1;
    }

    HostStrings strings(options.language);
    HostWindow window(plugin, strings);
    window.show();
    // A real station's going is told by udev, as a device notice tells a
    // Windows host; the station library does not say.
    UdevWatcher udev;
    if (!options.simulated)
        udev.Watch({nullptr, [&window](const std::string&) { window.Display().DeviceRemoved(); }});

    if (options.quitAfter >= 0) {
        QTimer::singleShot(int(options.quitAfter * 1000), &app, [&] {
            QWidget* shown = QApplication::activeModalWidget();
            if (!shown) shown = &window;
            if (!options.screenshot.isEmpty() && !shown->grab().save(options.screenshot))
                std::fprintf(stderr, "zq0093-host: cannot save %s\n",
                             options.screenshot.toLocal8Bit().constData());
            QCoreApplication::exit(0);  // also ends the loop of an open dialog
        });
    }
    if (!options.open.empty()) {
        // After the first poll has filled the station image the dialog shows.
        QTimer::singleShot(1500, &window, [&] {
            window.Open(options.open == "setting" ? HostWindow::Dialog::Setting
                        : options.open == "alarm" ? HostWindow::Dialog::Alarm
                                                  : HostWindow::Dialog::MaxMin);
        });
    }
    return app.exec();
}
