#pragma once

#include <string>

namespace nimbary {

// An advisory lock (flock) on one path, opened so that nothing another user
// placed there can hang, fool or lock out the one who asks: nothing is
// followed (O_NOFOLLOW), nothing waits (O_NONBLOCK), and what was opened is
// checked before it is locked. The system releases the lock when its holder
// ends, however it ends.
class FileLock {
public:
    enum class Kind {
        // A device node (the station's hidraw node): opened read-only, never
        // made, and only a character device will do. Only those who may open
        // the node can hold its lock.
        DeviceNode,
        // A lock file of this user's own: made (mode 0600) when missing, and
        // only a regular file that this user owns will do. It is never
        // removed, so two holders can never lock two different files.
        OwnFile,
    };

    FileLock(std::string path, Kind kind);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Takes the lock without waiting; true also when it is held already.
    bool TryLock();
    void Unlock();
    bool IsLocked() const { return fd_ >= 0; }
    // Held, and the file locked is still the one at Path(): a device node
    // made anew when its device came back is another node.
    bool HeldAtPath() const;
    const std::string& Path() const { return path_; }
    Kind LockKind() const { return kind_; }

    // After a failed TryLock: another process holds the lock.
    bool Busy() const { return fd_ < 0 && busy_; }
    // After a busy TryLock: the holder's process id, 0 when it cannot be told.
    long Holder() const { return holder_; }
    // Its command name, empty when it cannot be told.
    const std::string& HolderName() const { return holderName_; }
    // After a failed TryLock that was not busy: why the path cannot be used.
    const std::string& Problem() const { return problem_; }

private:
    bool Refuse(std::string why, int fd);

    std::string path_;
    Kind kind_;
    int fd_ = -1;
    bool busy_ = false;
    long holder_ = 0;
    std::string holderName_;
    std::string problem_;
};

// The process that holds an flock on the file open as `fd` (which is not the
// holder's): from /proc/locks, else the process that has the same file open,
// from /proc/*/fd where that may be read. 0 when neither tells.
long FlockHolder(int fd);

// A process's command name (/proc/PID/comm), empty when unknown.
std::string CommandName(long pid);

}  // namespace nimbary
