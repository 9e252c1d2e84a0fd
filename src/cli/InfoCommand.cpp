// nimbary-cli info: every decoded field of the station's replies.
#include <algorithm>
#include <cstdio>

#include "ArgList.h"
#include "ClockCheck.h"
#include "Command.h"
#include "DataPaths.h"
#include "HistoryFile.h"
#include "InfoPrinter.h"
#include "StationSession.h"

namespace nimbary::cli {

const char* const kInfoHelp =
    "Reads the device information, settings, current reading, alarms and max/min\n"
    "values and prints one Name=value line per decoded field, in internal units as\n"
    "held in memory (°F, %, hPa, m/s, degrees, mm; sentinels as their numbers).\n"
    "A failed read prints a '# Operation failed' line instead of its fields, and the\n"
    "command exits with status 1. The README lists the field names.\n"
    "\n"
    "Then the clock check: the station's newest history record (Clock.NewestRecord)\n"
    "and its interval, with a '#' line when that record is more than two intervals\n"
    "away from the computer's clock.\n"
    "\n"
    "  --history           also the history memory's status, and from the database\n"
    "                      the station's download bookmark, its number of records\n"
    "                      and a Gaps section: the gaps downloads could not fill\n"
    "  --db PATH           the database for --history (default: the program's Nimbary.db)\n";

int RunInfo(std::vector<std::string> args) {
    ArgList a(std::move(args));
    BackendOptions backend;
    const std::string backendError = BackendOptions::Parse(a.Raw(), backend);
    if (!backendError.empty()) return UsageError("info", backendError);
    const bool history = a.TakeFlag("--history");
    std::string dbPath = DataPaths::DefaultDatabase();
    bool dbGiven = false;
    if (!a.TakeValue("--db", dbPath, dbGiven)) return UsageError("info", a.Error());
    if (dbGiven && !history) return UsageError("info", "--db goes with --history");
    std::vector<std::string> positional;
    if (!a.Finish(positional, 0, 0)) return UsageError("info", a.Error());

    StderrMessages messages;
    HistoryDb db(&messages);
    if (history)
        if (const int rc = HistoryFile::OpenExisting(dbPath, db); rc != kExitOk) return rc;

    StationSession session;
    if (const int opened = session.Open(backend, std::string()); opened != kExitOk) return opened;
    StationInfo info;
    const std::vector<std::string> failed = PrintStationInfo(session.Data(), stdout, &info);
    PrintClockCheck(session.Source(), LocalNowStationTime(), history, stdout);
    bool stored = true;
    const bool identified =
        std::find(failed.begin(), failed.end(), "ReadDeviceInfo") == failed.end();
    if (history && identified) stored = PrintStoredHistory(db, info.DevID, stdout);
    std::fflush(stdout);
    if (!stored) return kExitFailure;
    if (failed.empty()) return kExitOk;
    std::string names;
    for (const std::string& f : failed) names += (names.empty() ? "" : ", ") + f;
    PrintError("the station did not answer: " + names);
    return kExitFailure;
}

}  // namespace nimbary::cli
