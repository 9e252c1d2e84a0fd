#include "StationLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace nimbary {

std::string StationLock::RealStationPath() {
    const char* dir = std::getenv("NIMBARY_LOCK_DIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/nimbary-station.lock";
}

std::string StationLock::SimulatedStationPath(const std::string& databasePath) {
    return databasePath + ".station-lock";
}

StationLock::StationLock(std::string path) : path_(std::move(path)) {}

StationLock::~StationLock() {
    Unlock();
}

bool StationLock::TryLock() {
    if (fd_ >= 0) return true;
    holder_ = 0;
    error_ = 0;
    refused_ = false;
    // Open an existing file without O_CREAT first: in a sticky /tmp the file
    // may belong to another user, and flock needs no write access.
    int fd = ::open(path_.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0 && errno == EACCES) fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0) ::fchmod(fd, 0666);  // every user may take the machine-wide lock
    }
    if (fd < 0) {
        error_ = errno;
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK)
            refused_ = true;
        else
            error_ = errno;
        char buf[32] = {};
        if (::pread(fd, buf, sizeof buf - 1, 0) > 0) holder_ = std::strtol(buf, nullptr, 10);
        ::close(fd);
        return false;
    }
    // Say who holds it, for the message of the one that is refused.
    if (::ftruncate(fd, 0) == 0) {
        const std::string pid = std::to_string(static_cast<long>(::getpid())) + "\n";
        if (::pwrite(fd, pid.data(), pid.size(), 0) < 0) {
            // A read-only lock file still locks; it just cannot name us.
        }
    }
    fd_ = fd;
    return true;
}

void StationLock::Unlock() {
    if (fd_ < 0) return;
    if (::ftruncate(fd_, 0) != 0) {
        // Nothing to do: the lock itself goes with the descriptor.
    }
    ::close(fd_);
    fd_ = -1;
}

std::string StationLock::WaitingText() const {
    std::string text = "another program";
    if (holder_ > 0) text += " (process " + std::to_string(holder_) + ")";
    return text + " is talking to the weather station; waiting until it lets go";
}

std::string StationLock::ErrorText() const {
    if (error_ != 0)
        return "The station lock " + path_ + " cannot be used: " + std::strerror(error_) + ".";
    std::string text = "Another program is talking to the weather station";
    if (holder_ > 0) text += " (process " + std::to_string(holder_) + ")";
    return text + "; try again when it has finished.";
}

}  // namespace nimbary
