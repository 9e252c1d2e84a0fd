#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <thread>

#include "ArgList.h"
#include "CliPublisher.h"
#include "Command.h"
#include "DataPaths.h"
#include "HistoryDownloader.h"
#include "HistoryNotices.h"
#include "StationSession.h"
#include "StringTable.h"

namespace nimbary::cli {

const char* const kDownloadHelp =
    "Reads the station's new history records into the history database.\n"
    "\n"
    "  --db PATH           the database (default: Nimbary.db in $NIMBARY_DATA_DIR,\n"
    "                      or ~/.local/share/Nimbary)\n"
    "  --follow            repeat every 8 seconds until interrupted (SIGINT, SIGTERM);\n"
    "                      a station not there yet, or held by another program, is\n"
    "                      waited for\n"
    "  --mqtt URL          publish to this MQTT broker as well (mqtt://host:1883 or\n"
    "                      mqtts://host:8883): the readings, every stored record and\n"
    "                      Home Assistant's discovery; a broker away gets the records\n"
    "                      later, nothing is lost\n"
    "  --mqtt-user NAME    the broker's user name\n"
    "  --mqtt-password-file PATH\n"
    "                      the file whose first line is the password\n"
    "  --mqtt-ca-file PATH the CA certificate of an mqtts:// broker (default: the\n"
    "                      system's)\n"
    "  --mqtt-topic PREFIX topics under PREFIX/<station id>/ (default: nimbary)\n"
    "  --mqtt-discovery PREFIX\n"
    "                      Home Assistant's discovery prefix (default: homeassistant);\n"
    "                      --mqtt-no-discovery sends none\n"
    "  --mqtt-state-interval SECS\n"
    "                      publish the reading at most this often (default: 10)\n"
    "\n"
    "After each pass every gap the pass could not fill is printed with its span: a\n"
    "stretch longer than twice the record interval without records, because the\n"
    "station overwrote or lost them before they were read.\n"
    "\n"
    "Without --follow, the command waits up to 30 seconds for the broker to take\n"
    "what was stored; the rest goes out with the next run.\n"
    "\n"
    "Exit status: 0 when the pass completed or nothing was new, 1 when it failed\n"
    "(nothing of that pass is stored), 2 for bad arguments, 3 when another\n"
    "process is talking to the station (without --follow).\n";

namespace {

constexpr auto kPassEvery = std::chrono::seconds(8);

std::atomic<int> g_stop{0};

extern "C" void OnStopSignal(int) {
    g_stop.store(1);
}

void CatchStopSignals() {
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

// True when a stop signal came (at once, or during the wait). `meanwhile`
// runs about once a second.
bool SleepUnlessStopped(std::chrono::steady_clock::duration wait,
                        const std::function<void()>& meanwhile = {}) {
    const auto until = std::chrono::steady_clock::now() + wait;
    for (int step = 1; !g_stop.load() && std::chrono::steady_clock::now() < until; ++step) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (meanwhile && step % 10 == 0) meanwhile();
    }
    return g_stop.load() != 0;
}

std::string LocalNowText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
    return buf;
}

}  // namespace

int RunDownload(std::vector<std::string> args) {
    ArgList a(std::move(args));
    BackendOptions backend;
    const std::string backendError = BackendOptions::Parse(a.Raw(), backend);
    if (!backendError.empty()) return UsageError("download", backendError);
    std::string dbPath;
    bool dbGiven = false;
    if (!a.TakeValue("--db", dbPath, dbGiven)) return UsageError("download", a.Error());
    const bool follow = a.TakeFlag("--follow");
    CliPublisher mqtt;
    std::string mqttError;
    if (!mqtt.TakeOptions(a, mqttError)) return UsageError("download", mqttError);
    std::vector<std::string> positional;
    if (!a.Finish(positional, 0, 0)) return UsageError("download", a.Error());

    std::string error;
    if (!dbGiven) {
        dbPath = DataPaths::DefaultDatabase();
        if (!DataPaths::MakeFolderFor(dbPath, error)) {
            PrintError(error);
            return kExitFailure;
        }
    }
    StderrMessages messages;
    HistoryDb db(&messages);
    if (db.Open(dbPath) != 0) {
        PrintError(text::Load(2093) + " " + dbPath + ": " + db.LastError());
        return kExitFailure;
    }
    if (db.ReadOnly()) {
        PrintError(text::Load(2127) + " (" + dbPath + ")");
        return kExitFailure;
    }

    CatchStopSignals();
    StationSession station;
    std::string why;
    int opened = station.TryOpen(backend, dbPath, why);
    if (follow) {
        // Whoever comes second waits: the service never talks to the station
        // while the program does, and takes it once the program lets go.
        if (opened == kExitBusy) {
            PrintError(station.LockWaitingText());
            // Looked for every second, as the program does.
            while (opened == kExitBusy && !SleepUnlessStopped(std::chrono::seconds(1)))
                opened = station.LookAgain(why);
            if (g_stop.load()) return kExitOk;
            if (opened == kExitOk) PrintError("the weather station is free again");
        }
        if (opened == kExitFailure && station.CanReconnect()) opened = kExitOk;  // waited for below
    }
    if (opened != kExitOk) {
        PrintError(why);
        return opened;
    }

    HistoryDownloader downloader(station.Source(), db, &g_stop, nullptr);
    downloader.onProgress = [](int n) {
        std::fprintf(stderr, "%s\n", text::Format(2097, {n}).c_str());
    };
    downloader.onComplete = [](int n) {
        std::printf("%s\n", text::Format(2096, {LocalNowText(), n}).c_str());
        std::fflush(stdout);
    };
    downloader.onFault = [](const std::string& t) { PrintError(t); };
    downloader.onGaps = [](const std::vector<HistoryGap>& gaps) {
        for (const HistoryGap& g : gaps) std::printf("%s\n", GapText(g).c_str());
        std::fflush(stdout);
    };

    mqtt.Start(dbPath);
    std::string lastProblem;
    auto tell = [&](const std::string& problem) {
        // In --follow the same trouble would repeat every 8 seconds.
        if (!follow || problem != lastProblem) PrintError(problem);
        lastProblem = problem;
    };
    int status = kExitOk;
    bool failed = false;  // the last pass lost the station
    for (;;) {
        if (follow && !station.Reconnect(failed)) {
            tell("the weather station is not there; waiting for it");
        } else {
            mqtt.Poll(station);
            downloader.Download();
            const PassOutcome outcome = downloader.LastOutcome();
            if (outcome == PassOutcome::Saved) mqtt.PassStored();
            failed = outcome == PassOutcome::StationError;
            switch (outcome) {
                case PassOutcome::Saved:
                case PassOutcome::NothingNew:
                    if (downloader.LastCount() == 0 && !follow)
                        std::printf("No new history records.\n");
                    lastProblem.clear();
                    status = kExitOk;
                    break;
                case PassOutcome::Stopped:
                    if (!follow) PrintError("stopped; nothing of this pass was stored");
                    status = follow ? kExitOk : kExitFailure;
                    break;
                case PassOutcome::MemoryFault:  // told through onFault
                    status = kExitFailure;
                    break;
                default:
                    tell(downloader.LastMessage());
                    status = kExitFailure;
                    break;
            }
        }
        if (!follow || SleepUnlessStopped(kPassEvery, [&] { mqtt.Poll(station); })) break;
    }
    mqtt.Finish(follow);
    std::fflush(stdout);
    return follow && g_stop.load() ? kExitOk : status;
}

}  // namespace nimbary::cli
