#include "ReplacingFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>

namespace nimbary {

namespace {

constexpr size_t kBufferBytes = 256 * 1024;

namespace fs = std::filesystem;

}  // namespace

ReplacingFile::ReplacingFile(const std::string& target) : target_(target) {
    // Writing through a link replaces what it points at, not the link.
    std::error_code ec;
    if (fs::is_symlink(target_, ec)) {
        const fs::path real = fs::weakly_canonical(target_, ec);
        if (!ec) target_ = real.string();
    }
}

ReplacingFile::~ReplacingFile() {
    Discard();
}

bool ReplacingFile::Create() {
    struct stat existing {};
    targetExisted_ = ::stat(target_.c_str(), &existing) == 0;
    // A file the user made read-only is kept, though its folder would let
    // the rename replace it.
    if (targetExisted_ && ::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0)
        return Fail(Failure::Create);
    const fs::path target(target_);
    const std::string prefix =
        (target.parent_path() / ("." + target.filename().string() + ".")).string();
    std::random_device seed;
    // 0666 less the umask, as a file made in place would get.
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(seed()));
        temp_ = prefix + suffix + ".part";
        fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0 || errno != EEXIST) break;
    }
    if (fd_ < 0) {
        temp_.clear();
        return Fail(Failure::Create);
    }
    // The replacement keeps the permissions the user gave the old file.
    if (targetExisted_ && S_ISREG(existing.st_mode)) ::fchmod(fd_, existing.st_mode & 07777);
    buffer_.reserve(kBufferBytes);
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
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return Fail(Failure::Write);
    if (::rename(temp_.c_str(), target_.c_str()) != 0) return Fail(Failure::Replace);
    temp_.clear();
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
