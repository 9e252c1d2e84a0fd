#include "FileLock.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

namespace nimbary {

namespace {

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// What stands at `path` that makes it unusable as a lock of `kind`, in
// words; empty when nothing is wrong with it.
std::string WhatIsWrong(const struct stat& st, FileLock::Kind kind) {
    if (S_ISLNK(st.st_mode)) return "it is a symbolic link";
    if (kind == FileLock::Kind::DeviceNode) return S_ISCHR(st.st_mode) ? "" : "it is not a device";
    if (!S_ISREG(st.st_mode)) return "it is not a regular file";
    if (st.st_uid != ::geteuid())
        return "it belongs to another user (uid " + std::to_string(st.st_uid) + ")";
    return "";
}

long HolderFromProcLocks(const struct stat& st) {
    // "1: FLOCK  ADVISORY  WRITE 4242 08:01:1234 0 EOF"; a waiter's line has
    // "->" after the number.
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        std::istringstream in(line);
        std::string number, type, advisory, access, id;
        long pid = 0;
        if (!(in >> number >> type >> advisory >> access >> pid >> id) || type != "FLOCK") continue;
        unsigned major = 0, minor = 0;
        unsigned long inode = 0;
        if (std::sscanf(id.c_str(), "%x:%x:%lu", &major, &minor, &inode) == 3 &&
            major == ::major(st.st_dev) && minor == ::minor(st.st_dev) && inode == st.st_ino &&
            pid > 0)
            return pid;
    }
    return 0;
}

long HolderFromProcFds(const struct stat& st, int ownFd) {
    using Dir = std::unique_ptr<DIR, int (*)(DIR*)>;
    const long self = static_cast<long>(::getpid());
    Dir proc(::opendir("/proc"), ::closedir);
    if (!proc) return 0;
    while (const dirent* p = ::readdir(proc.get())) {
        char* end = nullptr;
        const long pid = std::strtol(p->d_name, &end, 10);
        if (pid <= 0 || *end) continue;
        const std::string fds = "/proc/" + std::string(p->d_name) + "/fd";
        Dir dir(::opendir(fds.c_str()), ::closedir);  // only where we may look
        if (!dir) continue;
        while (const dirent* f = ::readdir(dir.get())) {
            if (f->d_name[0] == '.') continue;
            if (pid == self && std::atoi(f->d_name) == ownFd) continue;
            struct stat other;
            if (::stat((fds + "/" + f->d_name).c_str(), &other) == 0 && SameFile(st, other))
                return pid;
        }
    }
    return 0;
}

}  // namespace

FileLock::FileLock(std::string path, Kind kind) : path_(std::move(path)), kind_(kind) {}

FileLock::~FileLock() {
    Unlock();
}

bool FileLock::Refuse(std::string why, int fd) {
    if (fd >= 0) ::close(fd);
    problem_ = std::move(why);
    return false;
}

bool FileLock::TryLock() {
    if (fd_ >= 0) return true;
    busy_ = false;
    holder_ = 0;
    holderName_.clear();
    problem_.clear();
    // O_NONBLOCK: a FIFO put in the lock's place must not hold us in open().
    // O_NOCTTY: a terminal there must not become ours.
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY;
    // A file swapped in between our open and our lock is another file: look again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int fd = kind_ == Kind::DeviceNode ? ::open(path_.c_str(), flags)
                                                 : ::open(path_.c_str(), flags | O_CREAT, 0600);
        struct stat st;
        if (fd < 0) {
            const int error = errno;
            if (kind_ == Kind::DeviceNode && (error == EACCES || error == EPERM))
                return Refuse("this user may not open it", -1);
            if (::lstat(path_.c_str(), &st) == 0) {
                std::string why = WhatIsWrong(st, kind_);
                if (!why.empty()) return Refuse(why, -1);
            }
            return Refuse(std::strerror(error), -1);
        }
        if (::fstat(fd, &st) != 0) return Refuse(std::strerror(errno), fd);
        std::string why = WhatIsWrong(st, kind_);
        if (!why.empty()) return Refuse(why, fd);
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK) return Refuse(std::strerror(errno), fd);
            busy_ = true;
            holder_ = FlockHolder(fd);
            holderName_ = CommandName(holder_);
            ::close(fd);
            return false;
        }
        fd_ = fd;
        if (HeldAtPath()) return true;
        Unlock();
    }
    return Refuse("it keeps being replaced", -1);
}

void FileLock::Unlock() {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
}

bool FileLock::HeldAtPath() const {
    struct stat held, now;
    return fd_ >= 0 && ::fstat(fd_, &held) == 0 && ::lstat(path_.c_str(), &now) == 0 &&
           SameFile(held, now);
}

long FlockHolder(int fd) {
    struct stat st;
    if (::fstat(fd, &st) != 0) return 0;
    // Some file systems (btrfs, overlayfs) name another device in /proc/locks
    // than stat() does; then whoever has the file open is the best guess.
    const long pid = HolderFromProcLocks(st);
    return pid ? pid : HolderFromProcFds(st, fd);
}

std::string CommandName(long pid) {
    if (pid <= 0) return "";
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

}  // namespace nimbary
