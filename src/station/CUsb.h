#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "HidBackend.h"
#include "Protocol.h"
#include "StationLock.h"

namespace nimbary {

// Station identity; all three must match.
constexpr uint16_t kStationVendor = 0x1130;
constexpr uint16_t kStationProduct = 0x0829;
constexpr uint16_t kStationRelease = 0x0100;

// Time-outs of one exchange: the write of the request, each input report.
constexpr int kWriteTimeoutMs = 50;
constexpr int kReadTimeoutMs = 1200;

// Told when the station is opened or gone (the main window's "station
// opened" and "station gone" messages). Called on the thread that ran
// OpenStation or OnRemoval, after the transport lock is released, so a sink
// may post on or talk to the station at once.
class StationSink {
public:
    virtual ~StationSink() = default;
    virtual void OnStationOpened() = 0;
    virtual void OnStationGone() = 0;
};

// The transport: finds and opens the station, follows its arrival and
// removal, and runs one request/reply exchange at a time for every thread.
// One re-entrant lock covers every exchange and every open or close, so a
// request and its reply never interleave with another exchange and the
// device is never closed under one. Operations return 1 or 0.
//
// A station is opened only under its station lock, held exactly as long as
// the station is open: the device's own node for a real one, the lock file
// named by UseLockFile for one that is this process's own. A station whose
// lock another process holds is left alone, like one that cannot be opened.
class CUsb {
public:
    explicit CUsb(HidBackend& backend, StationSink* sink = nullptr);
    virtual ~CUsb();
    CUsb(const CUsb&) = delete;
    CUsb& operator=(const CUsb&) = delete;

    void SetSink(StationSink* sink) { sink_.store(sink); }

    // 1 while a station is open; read without locking.
    int Connected() const { return connected_.load(); }

    // The lock for a device without a node of its own (a simulated station):
    // the file at `path`. Set before the first OpenStation.
    void UseLockFile(std::string path) { lockFile_ = std::move(path); }
    // After an OpenStation that opened nothing: the lock of a station that
    // was found but left alone (another process holds it, or it cannot be
    // used), nullptr when none was. Read on the thread that ran OpenStation.
    const StationLock* Refused() const { return refused_.get(); }

    struct Found {
        std::unique_ptr<HidDevice> device;
        std::string path;
        std::unique_ptr<StationLock> lock;  // held; nullptr for a device that needs none
    };
    // The first present device with the station's identity whose lock can be
    // taken and that can be opened (others are skipped); no device when
    // there is none.
    Found FindStation();
    // Looks for the station (again) and keeps it open: at start-up and on
    // every device arrival. Tells the sink "opened" whenever a station is
    // found, "gone" when a held station is no longer found. 1 if a station
    // is open afterwards.
    int OpenStation();
    // A removal notice for `path`. Closes the station if it is that device.
    // 1 (and "gone" to the sink) if no station is open afterwards. It never
    // waits for an exchange in flight (a write to a wedged station can take
    // seconds): the station is then gone at once and closed by that exchange.
    int OnRemoval(const std::string& path);
    // Hands the caller's arrival and removal callbacks to whatever raises
    // device notices. 1 if notices will come.
    int RegisterArrivals(DeviceNoticeSource& source, DeviceNotices notices);

    // One exchange: the request in `frame` (length in byte 0) goes out and
    // the reply is written over it. 1 only for an accepted reply whose byte 1
    // is `expectedCode`.
    int Transact(Frame& frame, uint8_t expectedCode);
    // After a reply that was accepted but did not answer its request (an
    // echo byte that does not match), so the next exchange starts clean.
    void RequestResync();

    // The parts of an exchange, each under the lock.
    int SendReceive(Frame& frame);
    int ReadReport(uint8_t* destination);  // 64 bytes
    void Flush();

private:
    void CloseLocked();
    // Under the lock: closes a device whose removal came during an exchange;
    // true while a device is held.
    bool HeldLocked();
    void Notify(bool opened);

    HidBackend& backend_;
    std::atomic<StationSink*> sink_;

    std::atomic<int> connected_{0};
    std::recursive_mutex mutex_;
    std::unique_ptr<HidDevice> device_;
    std::unique_ptr<StationLock> lock_;  // of the open station
    std::string lockFile_;
    std::unique_ptr<StationLock> refused_;
    int resync_ = 0;

    // The held device's path, which stands in for its handle in removal
    // notices, and a removal that came while an exchange held the lock. They
    // have a lock of their own, so a removal notice never waits for one.
    std::mutex noticeMutex_;
    std::string devicePath_;
    bool removed_ = false;
};

}  // namespace nimbary
