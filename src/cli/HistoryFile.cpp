#include "HistoryFile.h"

#include <filesystem>

#include "Command.h"
#include "StringTable.h"

namespace nimbary::cli {

int HistoryFile::OpenExisting(const std::string& path, HistoryDb& db) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        PrintError("there is no history database at " + path);
        return kExitFailure;
    }
    if (db.Open(path, HistoryDb::OpenMode::ReadOnly) != 0) {
        PrintError(text::Load(2093) + " " + path + ": " + db.LastError());
        return kExitFailure;
    }
    return kExitOk;
}

int HistoryFile::OpenStation(const std::string& path, uint32_t devId, HistoryDb& db) {
    if (const int rc = OpenExisting(path, db); rc != kExitOk) return rc;
    return db.ReadDevice(devId) == 0 ? kExitOk : kExitFailure;
}

}  // namespace nimbary::cli
