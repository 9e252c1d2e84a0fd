#pragma once

#include <string>

#include "FileLock.h"

namespace nimbary {

// Only one process talks to a station at a time: the program, nimbary-cli
// and libstalink take this lock while they have the station open, and leave
// the station alone while someone else holds it.
//
// A real station's lock is its own hidraw node (Kind::DeviceNode): only
// those the udev rule lets open the node can hold it, /dev is root's, and
// two stations have two locks. A simulated station exists per process, but
// two processes downloading into one database would still store the same
// records twice, so its lock is a file of the user's beside the database.
class StationLock : public FileLock {
public:
    // The lock of a simulated station downloading into `databasePath`: that
    // path with ".station-lock" appended.
    static std::string SimulatedStationPath(const std::string& databasePath);

    explicit StationLock(std::string path, Kind kind = Kind::OwnFile);

    // After a busy TryLock: " (nimbary-cli, PID 1234)", or empty when
    // the holder cannot be told.
    std::string HolderText() const;
    // A sentence for the user about why TryLock failed.
    std::string ErrorText() const;
    // After a busy TryLock, for one that waits for the holder to let go.
    std::string WaitingText() const;
};

}  // namespace nimbary
