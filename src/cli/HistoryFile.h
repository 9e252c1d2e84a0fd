#pragma once

#include <cstdint>
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
    // OpenExisting, then the station's row: the units it was set to at its
    // last download (0s, °C, hPa, m/s, mm, for a station without a row).
    static int OpenStation(const std::string& path, uint32_t devId, HistoryDb& db);
};

}  // namespace nimbary::cli
