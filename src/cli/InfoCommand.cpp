// nimbary-cli info: every decoded field of the station's replies.
#include <cstdio>

#include "ArgList.h"
#include "Command.h"
#include "InfoPrinter.h"
#include "StationSession.h"

namespace nimbary::cli {

const char* const kInfoHelp =
    "Reads the device information, settings, current reading, alarms and max/min\n"
    "values and prints one Name=value line per decoded field, in internal units as\n"
    "held in memory (°F, %, hPa, m/s, degrees, mm; sentinels as their numbers).\n"
    "A failed read prints a '# Operation failed' line instead of its fields, and the\n"
    "command exits with status 1. The README lists the field names.\n";

int RunInfo(std::vector<std::string> args) {
    ArgList a(std::move(args));
    BackendOptions backend;
    const std::string backendError = BackendOptions::Parse(a.Raw(), backend);
    if (!backendError.empty()) return UsageError("info", backendError);
    std::vector<std::string> positional;
    if (!a.Finish(positional, 0, 0)) return UsageError("info", a.Error());

    StationSession session;
    if (const int opened = session.Open(backend, std::string()); opened != kExitOk) return opened;
    const std::vector<std::string> failed = PrintStationInfo(session.Data(), stdout);
    std::fflush(stdout);
    if (failed.empty()) return kExitOk;
    std::string names;
    for (const std::string& f : failed) names += (names.empty() ? "" : ", ") + f;
    PrintError("the station did not answer: " + names);
    return kExitFailure;
}

}  // namespace nimbary::cli
