#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "FileLock.h"

class QLocalServer;

namespace nimbary {

// Keeps a second copy of the program from starting on the same data folder,
// and lets a second start bring the first one's window to the front.
//
// The guard is a lock file named after the data folder in the user's own
// runtime folder ($XDG_RUNTIME_DIR, which nobody else may enter), or in the
// data folder itself where there is no such folder: never a name in a
// shared folder that another user could take first. The system releases it
// when the process ends, also when it crashes. Beside it in the runtime
// folder, the first copy listens on a local socket for a second start.
class InstanceGuard {
public:
    enum class State {
        Acquired,  // this is the only copy on the data folder
        Running,   // a live copy holds the guard
        Failed,    // the guard cannot be taken (see Problem())
    };

    explicit InstanceGuard(const QString& dataDir);
    ~InstanceGuard();
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;

    State Status() const { return state_; }
    bool Acquired() const { return state_ == State::Acquired; }
    // Failed: the guard's path and why it cannot be used, in one line.
    QString Problem() const;
    QString LockPath() const { return QString::fromStdString(lock_->Path()); }
    // Empty without a runtime folder.
    QString SocketPath() const { return socketPath_; }

    // The first copy: from now on a second start runs `raise` on this
    // thread and is told so. False when no socket can be had.
    bool Listen(std::function<void()> raise);
    // A second start: asks the running copy to come to the front; true when
    // it said it did within `timeoutMs`.
    bool AskToRaise(int timeoutMs = 3000) const;

    // $XDG_RUNTIME_DIR when it is a folder of this user's that nobody else
    // may enter, else empty.
    static QString PrivateRuntimeFolder();

private:
    std::unique_ptr<FileLock> lock_;
    QString socketPath_;
    State state_ = State::Failed;
    std::unique_ptr<QLocalServer> server_;
};

}  // namespace nimbary
