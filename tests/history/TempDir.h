#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace nimbary::testing {

// A fresh directory under the system's temporary folder, removed at the end.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "nimbary-XXXXXX").string();
        if (char* made = mkdtemp(pattern.data())) path_ = made;
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// File permissions bind root as well for one scope: a test running as root
// acts as nobody meanwhile. Only the effective ids change, so it can come back.
class AsUnprivileged {
public:
    AsUnprivileged() {
        if (geteuid() == 0) switched_ = setegid(kNobody) == 0 && seteuid(kNobody) == 0;
    }
    ~AsUnprivileged() {
        if (switched_ && seteuid(0) == 0) setegid(0);
    }
    AsUnprivileged(const AsUnprivileged&) = delete;
    AsUnprivileged& operator=(const AsUnprivileged&) = delete;
    bool Active() const { return geteuid() != 0; }

    // Why a test acting as nobody cannot use the temporary folder ("" when it
    // can): nobody may not reach it or make files in it, as in a TMPDIR under
    // /root or one of root's own.
    static std::string CannotReachTemp() {
        const std::string temp = std::filesystem::temp_directory_path().string();
        AsUnprivileged nobody;
        if (faccessat(AT_FDCWD, temp.c_str(), W_OK | X_OK, AT_EACCESS) == 0) return "";
        return "nobody (uid " + std::to_string(kNobody) + ") cannot make files in " + temp +
               ": to run this test as root, set TMPDIR to a folder everyone may write (as /tmp)";
    }

private:
    static constexpr unsigned kNobody = 65534;
    bool switched_ = false;
};

}  // namespace nimbary::testing
