#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

// nimbary-cli as a child process: arguments, extra environment, and its
// standard output and error captured. Nothing here waits without a limit.
namespace nimbary::testing {

class CliProcess {
public:
    // With `stdoutFile` the child writes its standard output there instead;
    // `program` runs another program than nimbary-cli.
    CliProcess(const std::vector<std::string>& args, const std::vector<std::string>& env = {},
               const char* stdoutFile = nullptr, std::string program = NIMBARY_CLI_PATH) {
        int out[2], err[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            // A test acting as another user (AsUnprivileged) runs the program
            // as that user altogether: with only its effective ids changed it
            // would start as a set-user-id program, which the sanitizers refuse.
            if (getuid() == 0 && geteuid() != 0) {
                const uid_t uid = geteuid();
                const gid_t gid = getegid();
                if (seteuid(0) != 0 || setgid(gid) != 0 || setuid(uid) != 0) _exit(126);
            }
            const int file = stdoutFile ? open(stdoutFile, O_WRONLY) : -1;
            dup2(file >= 0 ? file : out[1], 1);
            dup2(err[1], 2);
            for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
            std::vector<char*> argv;
            argv.push_back(program.data());
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }
    ~CliProcess() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            Wait(10000);
        }
        if (out_ >= 0) close(out_);
        if (err_ >= 0) close(err_);
    }
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    pid_t Pid() const { return pid_; }

    // Reads output until standard error holds `text`; false after `ms`.
    bool WaitForError(const std::string& text, int ms) {
        const auto until = Deadline(ms);
        while (stderr_.find(text) == std::string::npos) {
            if (!Pump(until)) return stderr_.find(text) != std::string::npos;
        }
        return true;
    }

    // Waits for the exit (killing the child after `ms`); its exit status, or
    // -signal when a signal ended it.
    int Wait(int ms = 60000) {
        const auto until = Deadline(ms);
        while (Pump(until)) {
        }
        if (!exited_) {
            int status = 0;
            while (waitpid(pid_, &status, WNOHANG) == 0) {
                if (Clock::now() >= until) {
                    kill(pid_, SIGKILL);
                    waitpid(pid_, &status, 0);
                    timedOut_ = true;
                    break;
                }
                usleep(10000);
            }
            exited_ = true;
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        }
        return status_;
    }

    bool TimedOut() const { return timedOut_; }
    const std::string& Out() const { return stdout_; }
    const std::string& Err() const { return stderr_; }

private:
    using Clock = std::chrono::steady_clock;
    static Clock::time_point Deadline(int ms) {
        return Clock::now() + std::chrono::milliseconds(ms);
    }

    // Moves what is ready from the pipes; false when both are closed or the
    // deadline passed.
    bool Pump(Clock::time_point until) {
        pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
        int open = 0;
        for (auto& f : fds) open += f.fd >= 0;
        if (open == 0) return false;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0) return false;
        if (poll(fds, 2, static_cast<int>(left)) <= 0) return false;
        char buf[4096];
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t n = read(fds[i].fd, buf, sizeof buf);
            int& fd = i == 0 ? out_ : err_;
            if (n <= 0) {
                close(fd);
                fd = -1;
            } else {
                (i == 0 ? stdout_ : stderr_).append(buf, static_cast<size_t>(n));
            }
        }
        return true;
    }

    pid_t pid_ = -1;
    int out_ = -1, err_ = -1;
    std::string stdout_, stderr_;
    bool exited_ = false, timedOut_ = false;
    int status_ = -1;
};

// What a simulated station started with `--sim-days 1` holds: the 5-minute
// records of the day before the wall clock's now, both ends included when now
// lies on a record time (one start in 300).
inline bool IsASimulatedDay(long records) {
    return records == 288 || records == 289;
}

}  // namespace nimbary::testing
