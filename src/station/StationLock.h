#pragma once

#include <string>

namespace nimbary {

// Only one process talks to a station at a time: the program and
// nimbary-cli both take this lock before they open it, and give up when
// someone else holds it. It is an advisory lock (flock) on a small file, so
// it is released by the system when the holder exits, however it exits.
//
// The real station is one device for the whole machine, so its lock file is
// machine-wide. A simulated station exists per process, but two processes
// downloading into one database would still store the same records twice,
// so its lock is keyed to the database file.
class StationLock {
public:
    // The lock of the real station: /tmp/nimbary-station.lock, or the same
    // name in $NIMBARY_LOCK_DIR when that is set.
    static std::string RealStationPath();
    // The lock of a simulated station downloading into `databasePath`: that
    // path with ".station-lock" appended.
    static std::string SimulatedStationPath(const std::string& databasePath);

    explicit StationLock(std::string path);
    ~StationLock();
    StationLock(const StationLock&) = delete;
    StationLock& operator=(const StationLock&) = delete;

    // Takes the lock without waiting. False when another holder has it (see
    // Holder()) or the lock file cannot be made (see ErrorText()).
    bool TryLock();
    void Unlock();
    bool IsLocked() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }
    // After a failed TryLock: true when another holder has the lock (rather
    // than the lock file being unusable).
    bool Busy() const { return fd_ < 0 && refused_; }
    // After a refused TryLock: the holder's process id, 0 when unknown.
    long Holder() const { return holder_; }
    // A sentence for the user about why TryLock failed.
    std::string ErrorText() const;
    // After a refused TryLock, for one that waits for the holder to let go.
    std::string WaitingText() const;

private:
    std::string path_;
    int fd_ = -1;
    long holder_ = 0;
    int error_ = 0;  // errno of a failed open, 0 when the lock was simply held
    bool refused_ = false;
};

}  // namespace nimbary
