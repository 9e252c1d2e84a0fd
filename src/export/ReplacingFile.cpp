#include "ReplacingFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <random>

namespace nimbary {

namespace {

constexpr size_t kBufferBytes = 256 * 1024;
constexpr char kPrefix[] = ".nimbary-";
constexpr size_t kPrefixLength = sizeof kPrefix - 1;
constexpr char kSuffix[] = ".part";
constexpr size_t kSuffixLength = sizeof kSuffix - 1;
// A part younger than this may be one whose writer has not locked it yet.
constexpr time_t kStaleSeconds = 60;

namespace fs = std::filesystem;

// ".nimbary-XXXXXXXX.part", or ".NAME.XXXXXXXX.part" of earlier versions.
bool OurNaming(const std::string& name) {
    if (name.size() < kPrefixLength + 8 + kSuffixLength || name[0] != '.' ||
        name.compare(name.size() - kSuffixLength, kSuffixLength, kSuffix) != 0)
        return false;
    const size_t hex = name.size() - kSuffixLength - 8;
    for (size_t i = hex; i < hex + 8; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(name[i]))) return false;
    return (hex == kPrefixLength && name.compare(0, kPrefixLength, kPrefix) == 0) ||
           (hex >= 3 && name[hex - 1] == '.');
}

std::string PartName(const std::string& folder) {
    static thread_local std::mt19937 random{std::random_device{}()};
    char name[32];
    std::snprintf(name, sizeof name, "%s%08x%s", kPrefix, static_cast<unsigned>(random()), kSuffix);
    return (fs::path(folder) / name).string();
}

bool Unsupported(int error) {
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

// The folder itself may not be written, where the target may.
bool FolderRefuses(int error) {
    return error == EACCES || error == EPERM || error == EROFS || error == ENAMETOOLONG;
}

// An unnamed file in `folder` (O_TMPFILE), when the system can name it
// later; -1 with errno set otherwise.
int OpenUnnamed(const std::string& folder, int access) {
    static const bool canName = ::access("/proc/self/fd", X_OK) == 0;
    if (!canName) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return ::open(folder.c_str(), O_TMPFILE | access | O_CLOEXEC, 0666);
}

}  // namespace

void ReplacingFile::RemoveStaleParts(const std::string& folder) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!OurNaming(name)) continue;
        const std::string path = it->path().string();
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {};
        // Ours, old enough to have been locked, and nobody writing it.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
            std::time(nullptr) - st.st_mtime > kStaleSeconds && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.c_str());
        ::close(fd);
    }
}

ReplacingFile::ReplacingFile(const std::string& target) : target_(target) {
    // Writing through a link replaces what it points at, not the link.
    std::error_code ec;
    if (fs::is_symlink(target_, ec)) {
        const fs::path real = fs::weakly_canonical(target_, ec);
        if (!ec) target_ = real.string();
    }
    folder_ = fs::path(target_).parent_path().string();
    if (folder_.empty()) folder_ = ".";
}

ReplacingFile::~ReplacingFile() {
    Discard();
}

bool ReplacingFile::Create() {
    struct stat existing {};
    targetExisted_ = ::stat(target_.c_str(), &existing) == 0;
    // A file the user made read-only is kept, though its folder would let
    // the rename replace it.
    const bool writable =
        targetExisted_ && ::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) == 0;
    if (targetExisted_ && !writable) return Fail(Failure::Create);
    RemoveStaleParts(folder_);

    if (!OpenAside(folder_)) {
        // A folder that may not be written, over a file that may: that file
        // is written in place at the end, from a copy made elsewhere.
        if (!writable || !FolderRefuses(errno)) return Fail(Failure::Create);
        aside_ = Aside::Elsewhere;
        std::error_code ec;
        const std::string temp = fs::temp_directory_path(ec).string();
        fd_ = OpenUnnamed(temp, O_RDWR);
        if (fd_ < 0 && OpenNamed(temp)) {
            ::unlink(temp_.c_str());  // only the descriptor is needed
            temp_.clear();
        }
        if (fd_ < 0) return Fail(Failure::Create);
    }
    // The replacement keeps the permissions the user gave the old file.
    if (aside_ != Aside::Elsewhere && targetExisted_ && S_ISREG(existing.st_mode))
        ::fchmod(fd_, existing.st_mode & 07777);
    buffer_.reserve(kBufferBytes);
    return true;
}

bool ReplacingFile::OpenAside(const std::string& folder) {
    aside_ = Aside::Unnamed;
    fd_ = OpenUnnamed(folder, O_WRONLY);
    if (fd_ >= 0) return true;
    if (!Unsupported(errno)) return false;
    aside_ = Aside::Named;
    return OpenNamed(folder);
}

bool ReplacingFile::OpenNamed(const std::string& folder) {
    // 0666 less the umask, as a file made in place would get.
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp_ = PartName(folder);
        fd_ = ::open(temp_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0 || errno != EEXIST) break;
    }
    if (fd_ < 0) {
        const int error = errno;
        temp_.clear();
        errno = error;
        return false;
    }
    // Locked while written, so that nobody takes it for a crash's leftover.
    ::flock(fd_, LOCK_EX | LOCK_NB);
    return true;
}

bool ReplacingFile::Write(const void* data, size_t size) {
    if (fd_ < 0 || failure_ != Failure::None) return false;
    if (buffer_.size() + size > kBufferBytes && !Flush()) return false;
    if (size >= kBufferBytes) {
        buffer_.assign(static_cast<const char*>(data), static_cast<const char*>(data) + size);
        return Flush();
    }
    buffer_.insert(buffer_.end(), static_cast<const char*>(data),
                   static_cast<const char*>(data) + size);
    return true;
}

bool ReplacingFile::Flush() {
    const char* p = buffer_.data();
    size_t left = buffer_.size();
    while (left > 0) {
        const ssize_t n = ::write(fd_, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail(Failure::Write);
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    buffer_.clear();
    return true;
}

bool ReplacingFile::Commit() {
    if (fd_ < 0 || failure_ != Failure::None) return false;
    // A file renamed into place before its data reached the disk could
    // come back empty after a crash; syncing also reports late write errors.
    if (!Flush()) return false;
    if (::fsync(fd_) != 0) return Fail(Failure::Write);
    if (aside_ == Aside::Elsewhere) {
        if (!CopyOverTarget()) return false;
    } else {
        if (aside_ == Aside::Unnamed && !NameUnnamed()) return Fail(Failure::Replace);
        if (::rename(temp_.c_str(), target_.c_str()) != 0) return Fail(Failure::Replace);
        temp_.clear();
    }
    // Synced already: closing has nothing left to report.
    ::close(fd_);
    fd_ = -1;
    return true;
}

bool ReplacingFile::NameUnnamed() {
    // Named for an instant, for the rename that replaces the target.
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = PartName(folder_);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            temp_ = name;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

bool ReplacingFile::CopyOverTarget() {
    const off_t size = ::lseek(fd_, 0, SEEK_END);
    const int out = ::open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (size < 0 || out < 0) return Fail(Failure::Replace);
    off_t at = 0;
    bool copied = true;
    while (copied && at < size) {
        const ssize_t n = ::sendfile(out, fd_, &at, static_cast<size_t>(size - at));
        copied = n > 0 || (n < 0 && errno == EINTR);
    }
    if (!copied || ::fsync(out) != 0) {
        const int error = errno;
        ::close(out);
        errno = error;
        return Fail(Failure::Write);
    }
    if (::close(out) != 0) return Fail(Failure::Write);
    return true;
}

bool ReplacingFile::Fail(Failure failure) {
    errno_ = errno;
    failure_ = failure;
    Discard();
    return false;
}

void ReplacingFile::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
    buffer_.clear();
}

}  // namespace nimbary
