#pragma once

#include <string>

namespace nimbary::cli {

// Where the program keeps its data, so that nimbary-cli and nimbary share
// one database by default.
class DataPaths {
public:
    // $NIMBARY_DATA_DIR, else $XDG_DATA_HOME/Nimbary, else ~/.local/share/Nimbary.
    static std::string DataFolder();
    // Nimbary.db in the data folder.
    static std::string DefaultDatabase();
    // Creates the folder that will hold `file` when it is missing; false
    // (with `error` set) when that fails.
    static bool MakeFolderFor(const std::string& file, std::string& error);
};

}  // namespace nimbary::cli
