#include "StationLock.h"

namespace nimbary {

std::string StationLock::SimulatedStationPath(const std::string& databasePath) {
    return databasePath + ".station-lock";
}

StationLock::StationLock(std::string path, Kind kind) : FileLock(std::move(path), kind) {}

std::string StationLock::HolderText() const {
    if (Holder() <= 0) return "";
    const std::string name = HolderName();
    // Without words to translate: the status bar shows it in either language.
    return " (" + (name.empty() ? "" : name + ", ") + "PID " + std::to_string(Holder()) + ")";
}

std::string StationLock::WaitingText() const {
    return "another program" + HolderText() +
           " is talking to the weather station; waiting until it lets go";
}

std::string StationLock::ErrorText() const {
    if (!Busy()) {
        if (LockKind() == Kind::DeviceNode)
            return "The weather station " + Path() + " cannot be used: " + Problem() + ".";
        return "The station lock " + Path() + " cannot be used: " + Problem() + ".";
    }
    return "Another program" + HolderText() +
           " is talking to the weather station; try again when it has finished.";
}

}  // namespace nimbary
