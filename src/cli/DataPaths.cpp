#include "DataPaths.h"

#include <cstdlib>
#include <filesystem>

namespace nimbary::cli {

std::string DataPaths::DataFolder() {
    if (const char* dir = std::getenv("NIMBARY_DATA_DIR"); dir && *dir) return dir;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        return std::string(xdg) + "/Nimbary";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/share/Nimbary";
}

std::string DataPaths::DefaultDatabase() {
    return DataFolder() + "/Nimbary.db";
}

bool DataPaths::MakeFolderFor(const std::string& file, std::string& error) {
    const std::filesystem::path folder = std::filesystem::path(file).parent_path();
    if (folder.empty()) return true;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        error = "cannot create the folder " + folder.string() + ": " + ec.message();
        return false;
    }
    return true;
}

}  // namespace nimbary::cli
