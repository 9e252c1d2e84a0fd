#include <cstdio>

#include "ArgList.h"
#include "Command.h"
#include "DataPaths.h"
#include "HistoryFile.h"

namespace nimbary::cli {

const char* const kStationsHelp =
    "Lists the stations the history database holds, one id (8 hex digits) a line.\n"
    "\n"
    "  --db PATH           the database (default: the program's Nimbary.db)\n";

int RunStations(std::vector<std::string> args) {
    ArgList a(std::move(args));
    std::string dbPath = DataPaths::DefaultDatabase();
    bool given = false;
    if (!a.TakeValue("--db", dbPath, given)) return UsageError("stations", a.Error());
    std::vector<std::string> positional;
    if (!a.Finish(positional, 0, 0)) return UsageError("stations", a.Error());

    StderrMessages messages;
    HistoryDb db(&messages);
    if (const int rc = HistoryFile::OpenExisting(dbPath, db); rc != kExitOk) return rc;
    std::vector<uint32_t> ids;
    int selected = 0;
    if (db.FillDeviceList(ids, 0, selected) != 0) return kExitFailure;
    for (uint32_t id : ids) std::printf("%08X\n", id);
    return kExitOk;
}

}  // namespace nimbary::cli
