#pragma once

#include <string>

#include "HistoryDb.h"

namespace nimbary::cli {

// The database a reading command works on: --db PATH or the default one,
// which must exist already. Reading commands open it for reading only, so
// they change nothing of it and work where it may only be read.
class HistoryFile {
public:
    // kExitOk, or kExitFailure with the reason printed.
    static int OpenExisting(const std::string& path, HistoryDb& db);
};

}  // namespace nimbary::cli
