#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace nimbary {

// An event that stays signalled until reset: the wake-ups of the worker
// threads, the history command's answer, and the view's drawing lock.
class ManualResetEvent {
public:
    explicit ManualResetEvent(bool signalled = false) : signalled_(signalled) {}

    void Set() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            signalled_ = true;
        }
        cv_.notify_all();
    }
    void Reset() {
        std::lock_guard<std::mutex> lock(mutex_);
        signalled_ = false;
    }
    // True when signalled within the time.
    bool Wait(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, timeout, [this] { return signalled_; });
    }
    void Wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait(lock, [this] { return signalled_; });
    }
    // Wait-then-reset as one step, so two threads using the event as a lock
    // can never both get through.
    void Acquire() {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait(lock, [this] { return signalled_; });
        signalled_ = false;
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool signalled_;
};

// Holds a ManualResetEvent used as a lock for one scope.
class EventLock {
public:
    explicit EventLock(ManualResetEvent& e) : e_(e) { e_.Acquire(); }
    ~EventLock() { e_.Set(); }
    EventLock(const EventLock&) = delete;
    EventLock& operator=(const EventLock&) = delete;

private:
    ManualResetEvent& e_;
};

}  // namespace nimbary
