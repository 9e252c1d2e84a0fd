#pragma once

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

// Other users on this machine, for the tests of what they can and cannot do
// to our locks: forked children with throw-away ids (no account, no groups).
// Only root can become them; the tests skip otherwise.
namespace nimbary::test {

constexpr uid_t kOwner = 61427;     // may use the station
constexpr uid_t kAttacker = 61428;  // may not
constexpr int kHung = -1;           // still running after its time
constexpr int kNoSuchUser = 125;    // the child could not become the user

inline bool CanBecomeOthers() {
    return geteuid() == 0;
}

inline bool BecomeUser(uid_t uid) {
    if (uid == geteuid()) return true;  // only a child of one's own
    return setgroups(0, nullptr) == 0 && setresgid(uid, uid, uid) == 0 &&
           setresuid(uid, uid, uid) == 0;
}

// Runs `act` as `uid` in a child and returns what it returned (0-100), or
// kHung when it had not ended after `timeoutMs` (it is killed then).
inline int AsUser(uid_t uid, const std::function<int()>& act, int timeoutMs = 5000) {
    const pid_t pid = fork();
    if (pid == 0) _exit(BecomeUser(uid) ? act() : kNoSuchUser);
    for (int waited = 0;; waited += 10) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (waited >= timeoutMs) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            return kHung;
        }
        usleep(10000);
    }
}

// Why the throw-away users cannot enter the temporary folder the tests work
// in (a private TMPDIR, say), or "" when they can.
inline std::string OthersCannotReachTemp() {
    const std::string temp = std::filesystem::temp_directory_path().string();
    if (AsUser(kAttacker, [&] { return access(temp.c_str(), X_OK) == 0 ? 0 : 1; }) == 0) return "";
    return "uid " + std::to_string(kAttacker) + " cannot enter " + temp +
           ": to run this test as root, set TMPDIR to a folder everyone may enter (as /tmp)";
}

// A child that runs `act` as `uid` and then stays, holding whatever it
// took, until the object goes.
class Resident {
public:
    Resident(uid_t uid, const std::function<int()>& act, int timeoutMs = 5000) {
        int pipeFds[2];
        if (pipe(pipeFds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            const char result = static_cast<char>(BecomeUser(uid) ? act() : kNoSuchUser);
            if (write(pipeFds[1], &result, 1) != 1) _exit(1);
            for (;;) pause();
        }
        close(pipeFds[1]);
        pollfd p{pipeFds[0], POLLIN, 0};
        char result = 0;
        if (poll(&p, 1, timeoutMs) == 1 && read(pipeFds[0], &result, 1) == 1) result_ = result;
        close(pipeFds[0]);
    }
    ~Resident() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Resident(const Resident&) = delete;
    Resident& operator=(const Resident&) = delete;
    // What `act` returned, or kHung.
    int Result() const { return result_; }

private:
    pid_t pid_ = -1;
    int result_ = kHung;
};

// A character device the tests may lock as a station's node: a pseudo
// terminal, given to `owner` alone (as udev gives the station's node to the
// user at the seat). Its folder, /dev/pts, is root's.
class BorrowedNode {
public:
    explicit BorrowedNode(uid_t owner = geteuid()) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        if (const char* name = ptsname(master_)) path_ = name;
        if (chown(path_.c_str(), owner, static_cast<gid_t>(-1)) != 0 ||
            chmod(path_.c_str(), 0600) != 0)
            path_.clear();
    }
    ~BorrowedNode() {
        if (master_ >= 0) close(master_);
    }
    BorrowedNode(const BorrowedNode&) = delete;
    BorrowedNode& operator=(const BorrowedNode&) = delete;
    // Empty when no terminal could be had.
    const std::string& Path() const { return path_; }

private:
    int master_ = -1;
    std::string path_;
};

}  // namespace nimbary::test
