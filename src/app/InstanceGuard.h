#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace nimbary {

// Keeps a second copy of the program from starting on the same data folder.
// The lock is released when the process ends, also when it crashes.
class InstanceGuard {
public:
    explicit InstanceGuard(const QString& dataDir);
    // False when another running instance holds the lock.
    bool Acquired() const { return acquired_; }

private:
    std::unique_ptr<QLockFile> lock_;
    bool acquired_ = false;
};

}  // namespace nimbary
