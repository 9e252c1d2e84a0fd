#include "CUsb.h"

#include <algorithm>
#include <utility>

#include "Encoding.h"

namespace nimbary {

using Lock = std::lock_guard<std::recursive_mutex>;

CUsb::CUsb(HidBackend& backend, StationSink* sink) : backend_(backend), sink_(sink) {}

CUsb::~CUsb() {
    Lock lock(mutex_);
    CloseLocked();
}

void CUsb::CloseLocked() {
    connected_.store(0);
    device_.reset();
    lock_.reset();  // the next holder may take the station now
    std::lock_guard<std::mutex> notice(noticeMutex_);
    devicePath_.clear();
    removed_ = false;
}

bool CUsb::HeldLocked() {
    bool removed;
    {
        std::lock_guard<std::mutex> notice(noticeMutex_);
        removed = removed_;
    }
    if (removed) CloseLocked();
    return device_ != nullptr;
}

void CUsb::Notify(bool opened) {
    StationSink* sink = sink_.load();
    if (!sink) return;
    if (opened)
        sink->OnStationOpened();
    else
        sink->OnStationGone();
}

CUsb::Found CUsb::FindStation() {
    Found found;
    refused_.reset();
    for (const HidDeviceInfo& info : backend_.Enumerate()) {
        if (info.vendor != kStationVendor || info.product != kStationProduct ||
            info.release != kStationRelease)
            continue;
        std::unique_ptr<StationLock> lock;
        if (!info.lockPath.empty() || !lockFile_.empty()) {
            const bool node = !info.lockPath.empty();
            const std::string& lockPath = node ? info.lockPath : lockFile_;
            // The station held already keeps its lock (a second lock of ours
            // on it would be refused), unless its node was made anew.
            if (lock_ && lock_->Path() == lockPath && lock_->HeldAtPath()) {
                lock = std::move(lock_);
            } else {
                lock = std::make_unique<StationLock>(
                    lockPath, node ? FileLock::Kind::DeviceNode : FileLock::Kind::OwnFile);
                if (!lock->TryLock()) {
                    if (!refused_) refused_ = std::move(lock);
                    continue;
                }
            }
        }
        // One that cannot be opened (held elsewhere, already gone) is skipped.
        if (std::unique_ptr<HidDevice> device = backend_.Open(info.path)) {
            found.device = std::move(device);
            found.path = info.path;
            found.lock = std::move(lock);
            refused_.reset();
            return found;
        }
    }
    return found;
}

int CUsb::OpenStation() {
    bool opened = false, gone = false, held = false;
    {
        Lock lock(mutex_);
        Found found = FindStation();
        if (found.device) {
            // Every arrival reopens, even the station already held, so the
            // "opened" actions run again after any device change.
            CloseLocked();
            device_ = std::move(found.device);
            lock_ = std::move(found.lock);
            {
                std::lock_guard<std::mutex> notice(noticeMutex_);
                devicePath_ = found.path;
            }
            connected_.store(1);
            opened = true;
        } else if (HeldLocked()) {
            CloseLocked();
            gone = true;
        }
        held = device_ != nullptr;
    }
    if (opened || gone) Notify(opened);
    return held ? 1 : 0;
}

int CUsb::OnRemoval(const std::string& path) {
    bool none;
    {
        std::lock_guard<std::mutex> notice(noticeMutex_);
        if (!devicePath_.empty() && path == devicePath_) {
            connected_.store(0);
            devicePath_.clear();
            removed_ = true;
        }
        none = devicePath_.empty();
    }
    {
        // Closed now, unless an exchange holds the lock: that one closes it
        // when it next looks, and the window does not wait for its write.
        std::unique_lock<std::recursive_mutex> lock(mutex_, std::try_to_lock);
        if (lock.owns_lock()) HeldLocked();
    }
    if (none) Notify(false);
    return none ? 1 : 0;
}

int CUsb::RegisterArrivals(DeviceNoticeSource& source, DeviceNotices notices) {
    return source.Watch(std::move(notices)) ? 1 : 0;
}

int CUsb::Transact(Frame& frame, uint8_t expectedCode) {
    Lock lock(mutex_);
    if (resync_) Flush();
    if (!SendReceive(frame)) return 0;
    if (frame[1] == expectedCode) {
        resync_ = 0;
        return 1;
    }
    resync_ = 1;
    Flush();
    return 0;
}

void CUsb::RequestResync() {
    Lock lock(mutex_);
    resync_ = 1;
}

int CUsb::SendReceive(Frame& frame) {
    Lock lock(mutex_);
    if (!SealRequest(frame) || !HeldLocked()) return 0;

    uint8_t report[kOutputReportSize] = {0};
    std::copy(frame.begin(), frame.begin() + kReportSize, report + 1);

    // From here on a failure may leave a late reply queued; the next exchange
    // throws it away first so it cannot pass for the answer to a later
    // request with the same code.
    bool ok = device_->Write(report, kWriteTimeoutMs) == HidStatus::Ok && ReadReport(frame.data());
    if (ok && frame[0] > kReportSize)
        ok = ReadReport(frame.data() + kReportSize);
    else if (ok)
        std::fill(frame.begin() + kReportSize, frame.end(), 0);  // nothing stale behind
    if (ok && ReplyValid(frame)) return 1;
    resync_ = 1;
    return 0;
}

int CUsb::ReadReport(uint8_t* destination) {
    Lock lock(mutex_);
    if (!HeldLocked()) return 0;  // also after a removal during the write
    uint8_t data[kReportSize] = {0};
    if (device_->Read(data, kReadTimeoutMs) != HidStatus::Ok) return 0;
    std::copy(data, data + kReportSize, destination);
    return 1;
}

void CUsb::Flush() {
    Lock lock(mutex_);
    if (HeldLocked()) device_->DiscardInput();
}

}  // namespace nimbary
